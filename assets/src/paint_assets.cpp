// Paints every picture of the window into PNG files.
//   korvel_paint_assets <output dir> [--sheet <file.png>]
// The optional contact sheet shows the pictures assembled as the window and
// the about window will show them, for a look before committing.
#include "Pictures.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QStringList>

#include <cstdio>

namespace {

using namespace korvel::art;

QImage checkerboard(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
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
QImage contactSheet() {
    QImage sheet = checkerboard(978 * 2 + 30, 789 + 30 + 170);
    QPainter p(&sheet);

    p.drawImage(0, 0, windowBackground());
    p.drawImage(54, 168, readButton(false));
    p.drawImage(54, 284, saveButton(false));
    p.drawImage(54, 400, backButton(false));
    p.drawImage(793, 17, aboutBadge());
    p.drawImage(836, 17, helpBadge());
    p.drawImage(885, 21, minimiseBadge());
    p.drawImage(929, 21, closeBadge());

    const int right = 978 + 30;
    p.drawImage(right, 0, windowBackground());
    p.drawImage(right + 54, 168, readButton(true));
    p.drawImage(right + 54, 284, saveButton(true));
    p.drawImage(right + 54, 400, backButton(true));
    p.drawImage(right, 0, veil());
    const int aboutLeft = right + (978 - 502) / 2;
    const int aboutTop = (789 - 208) / 2;
    p.drawImage(aboutLeft, aboutTop, aboutBackground());
    p.drawImage(aboutLeft + 368, aboutTop + 65, backButton(false));
    p.setFont(QFont(QStringLiteral("Liberation Sans"), 12, QFont::Bold));
    p.drawText(aboutLeft + 47, aboutTop + 97, QStringLiteral("Software Version: Korvel V3.0"));

    // Small pictures enlarged three times on the checkerboard, and the icon.
    int x = 10;
    const int top = 789 + 30;
    for (const QImage& small : {aboutBadge(), helpBadge(), minimiseBadge(), closeBadge(),
                                readButton(false), readButton(true), saveButton(false),
                                saveButton(true), backButton(false), backButton(true)}) {
        const QImage big =
            small.scaled(small.size() * 2, Qt::KeepAspectRatio, Qt::FastTransformation);
        p.drawImage(x, top, big);
        x += big.width() + 14;
    }
    p.drawImage(x + 10, top,
                applicationIcon().scaled(152, 152, Qt::KeepAspectRatio, Qt::SmoothTransformation));
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
    const QDir out(args[1]);
    if (!out.exists()) {
        std::fprintf(stderr, "no such directory: %s\n", qPrintable(args[1]));
        return 2;
    }
    bool ok = true;
    for (const Picture& picture : allPictures()) {
        ok = save(picture.paint(), out.filePath(picture.fileName)) && ok;
    }
    if (args.size() == 4) {
        ok = save(contactSheet(), args[3]) && ok;
    }
    return ok ? 0 : 1;
}
