#include "window/Fonts.h"

#include <QStringList>

namespace korvel::window {
namespace {

void Substitute(const QString& family, const QString& standIn) {
    if (!QFont::substitutes(family).contains(standIn)) {
        QFont::insertSubstitution(family, standIn);
    }
}

QFont DesignFont(const char* family, int pixelSize, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

void InstallFontSubstitutes() {
    Substitute(QString::fromLatin1(kMheiFamily), QStringLiteral("WenQuanYi Micro Hei"));
    Substitute(QString::fromLatin1(kSansFamily), QStringLiteral("Liberation Sans"));
}

QFont MheiFont(int pixelSize, bool bold) {
    return DesignFont(kMheiFamily, pixelSize, bold);
}

QFont SansFont(int pixelSize, bool bold) {
    return DesignFont(kSansFamily, pixelSize, bold);
}

} // namespace korvel::window
