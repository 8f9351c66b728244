#pragma once
// The installed type faces that stand in for the window's two design faces,
// in order of preference, as each system has them. Arial and Liberation Sans
// share their metrics, so the captions fit alike on both.
#include <span>

namespace korvel::platform {

struct FontStandIns {
    std::span<const char* const> mhei; // for "Microsoft MHei"
    std::span<const char* const> sans; // for "MS Sans Serif"
    // Whether the stand-ins come before a design face of the same name:
    // Windows (and Wine) has an MS Sans Serif, a bitmap face of few sizes.
    bool beforeDesignFace;
};

FontStandIns DesignFontStandIns();

// The Qt platform, with its options, that draws the window when the user names
// none (QT_QPA_PLATFORM, -platform); null: Qt's own choice. Windows draws
// text through FreeType, as Linux does, so that the captions measure alike
// and fit the pictures.
const char* WindowPlatformByDefault();

} // namespace korvel::platform
