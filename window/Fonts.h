#pragma once
// The window's two type faces. Its design names "Microsoft MHei" and
// "MS Sans Serif"; Debian has neither and most Windows PCs lack the first, so
// both names are mapped to each system's stand-ins (platform/FontStandIns.h).

#include <QFont>

namespace korvel::window {

inline constexpr const char* kMheiFamily = "Microsoft MHei";
inline constexpr const char* kSansFamily = "MS Sans Serif";

// Maps the two design families to installed stand-ins (on Debian WenQuanYi
// Micro Hei and Liberation Sans). Safe to call more than once; the window's
// constructor calls it.
void InstallFontSubstitutes();

// The design family at a pixel size.
QFont MheiFont(int pixelSize, bool bold);
QFont SansFont(int pixelSize, bool bold);

} // namespace korvel::window
