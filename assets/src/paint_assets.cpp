// Paints every picture of the window into PNG files, each also at twice the
// pixels as <name>@2x.png for high-density screens.
//   korvel_paint_assets <output dir> [--sheet <file.png>]
// The optional contact sheet shows the pictures assembled as the window and
// the about window will show them, for a look before committing; its @2x twin
// is assembled from the twice-size pictures.
#include "Pictures.h"

#include "assets/Assets.h"
#include "translations/Language.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QStringList>

#include <cstdio>

namespace {

using namespace korvel::art;

QImage checkerboard(int width, int height, int scale) {
    QImage image(width * scale, height * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    QPainter p(&image);
    for (int y = 0; y < height; y += 8) {
        for (int x = 0; x < width; x += 8) {
            const bool dark = ((x / 8) + (y / 8)) % 2 != 0;
            p.fillRect(x, y, 8, 8, dark ? QColor(0xc8, 0xc8, 0xc8) : QColor(0xf4, 0xf4, 0xf4));
        }
    }
    return image;
}

// The parameter window's pictures at their places, with the veil and the
// about window over it on the right.
QImage contactSheet(int scale) {
    // Wide enough for the row of enlarged small pictures below the windows.
    QImage sheet = checkerboard(2800, 789 + 30 + 170, scale);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::SmoothPixmapTransform);

    p.drawImage(0, 0, windowBackground(scale));
    p.drawImage(54, 168, readButton(false, scale));
    p.drawImage(54, 284, saveButton(false, scale));
    p.drawImage(54, 400, openButton(false, scale));
    p.drawImage(54, 516, exportButton(false, scale));
    p.drawImage(793, 17, aboutBadge(scale));
    p.drawImage(836, 17, helpBadge(scale));
    p.drawImage(885, 21, minimiseBadge(scale));
    p.drawImage(929, 21, closeBadge(scale));

    const int right = 978 + 30;
    p.drawImage(right, 0, windowBackground(scale));
    p.drawImage(right + 54, 168, readButton(true, scale));
    p.drawImage(right + 54, 284, saveButton(true, scale));
    p.drawImage(right + 54, 400, openButton(true, scale));
    p.drawImage(right + 54, 516, exportButton(true, scale));
    // The window stretches the veil over itself, as here.
    p.drawImage(QRect(right, 0, 978, 789), veil());
    const int aboutLeft = right + (978 - 502) / 2;
    const int aboutTop = (789 - 208) / 2;
    p.drawImage(aboutLeft, aboutTop, aboutBackground(scale));
    p.drawImage(aboutLeft + 368, aboutTop + 65, backButton(false, scale));
    p.setFont(QFont(QStringLiteral("Liberation Sans"), 12, QFont::Bold));
    p.drawText(aboutLeft + 47, aboutTop + 97, QStringLiteral("Software Version: Korvel V3.0"));

    // Small pictures enlarged twice on the checkerboard, and the icon.
    int x = 10;
    const int top = 789 + 30;
    for (const QImage& small :
         {aboutBadge(scale), helpBadge(scale), minimiseBadge(scale), closeBadge(scale),
          readButton(false, scale), readButton(true, scale), saveButton(false, scale),
          saveButton(true, scale), backButton(false, scale), backButton(true, scale),
          openButton(false, scale), openButton(true, scale), exportButton(false, scale),
          exportButton(true, scale)}) {
        const QSize big = small.deviceIndependentSize().toSize() * 2;
        // Whole source pixels to each sheet pixel, so nothing blurs the look.
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(QRect(QPoint(x, top), big), small);
        p.restore();
        x += big.width() + 14;
    }
    p.drawImage(QRect(x + 10, top, 152, 152), applicationIcon(scale));
    return sheet;
}

bool save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 && !(args.size() == 4 && args[2] == QStringLiteral("--sheet"))) {
        std::fprintf(stderr, "usage: korvel_paint_assets <output dir> [--sheet <file.png>]\n");
        return 2;
    }
    QDir out(args[1]);
    if (!out.exists()) {
        std::fprintf(stderr, "no such directory: %s\n", qPrintable(args[1]));
        return 2;
    }
    bool ok = true;
    const std::vector<Picture> pictures = allPictures();
    std::vector<QImage> english;
    for (const Picture& picture : pictures) {
        english.push_back(picture.paint(1));
        ok = save(english.back(), out.filePath(picture.fileName)) && ok;
        if (picture.density == Picture::Doubled) {
            ok = save(picture.paint(2),
                      out.filePath(korvel::assets::doubledName(picture.fileName))) &&
                 ok;
        }
    }
    // A copy per language of each picture whose words the language changes;
    // copies a language no longer needs go, so the English picture serves.
    for (const QString& name : korvel::translations::Languages()) {
        for (const QString& stale : out.entryList(
                 {QStringLiteral("*_%1.png").arg(name), QStringLiteral("*_%1@2x.png").arg(name)})) {
            out.remove(stale);
        }
        const korvel::translations::Language language{QLocale(name)};
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            const Picture& picture = pictures[i];
            const QImage translated = picture.paint(1);
            if (translated == english[i]) {
                continue;
            }
            const QString file = korvel::assets::translatedName(picture.fileName, name);
            ok = save(translated, out.filePath(file)) && ok;
            if (picture.density == Picture::Doubled) {
                ok = save(picture.paint(2), out.filePath(korvel::assets::doubledName(file))) && ok;
            }
        }
    }
    if (args.size() == 4) {
        ok = save(contactSheet(1), args[3]) && ok;
        ok = save(contactSheet(2), korvel::assets::doubledName(args[3])) && ok;
    }
    return ok ? 0 : 1;
}
