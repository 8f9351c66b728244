#include "window/Fonts.h"

#include "platform/FontStandIns.h"

#include <QStringList>

#include <span>

namespace korvel::window {
namespace {

void Substitute(const char* family, std::span<const char* const> standIns) {
    const QString name = QString::fromLatin1(family);
    for (const char* standIn : standIns) {
        if (!QFont::substitutes(name).contains(QString::fromLatin1(standIn))) {
            QFont::insertSubstitution(name, QString::fromLatin1(standIn));
        }
    }
}

QFont DesignFont(const char* family, std::span<const char* const> standIns, int pixelSize,
                 bool bold) {
    QFont font(QString::fromLatin1(family));
    if (platform::DesignFontStandIns().beforeDesignFace) {
        QStringList families;
        for (const char* standIn : standIns) {
            families.append(QString::fromLatin1(standIn));
        }
        families.append(QString::fromLatin1(family));
        font.setFamilies(families);
    }
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // Glyph advances as the face designs them, not rounded to whole pixels by
    // full hinting: the captions were fitted to those widths, and FreeType on
    // Windows hints fully unless told, where fontconfig on Linux hints lightly.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

} // namespace

void InstallFontSubstitutes() {
    const platform::FontStandIns standIns = platform::DesignFontStandIns();
    Substitute(kMheiFamily, standIns.mhei);
    Substitute(kSansFamily, standIns.sans);
}

QFont MheiFont(int pixelSize, bool bold) {
    return DesignFont(kMheiFamily, platform::DesignFontStandIns().mhei, pixelSize, bold);
}

QFont SansFont(int pixelSize, bool bold) {
    return DesignFont(kSansFamily, platform::DesignFontStandIns().sans, pixelSize, bold);
}

} // namespace korvel::window
