#include "Pictures.h"

#include "Painting.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace korvel::art {

namespace {

using Glyph = std::function<void(QPainter&, const QRectF&)>;

constexpr int kTitleHeight = 65;
constexpr int kColumnRight = 150;
const QRect kWorkArea(157, 101, 791, 657); // x 157..947, y 101..757

void paintTitleBar(QPainter& p, const QRect& bar) {
    QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
    fill.setColorAt(0, palette::titleTop);
    fill.setColorAt(1, palette::titleBottom);
    p.fillRect(bar, fill);

    // A faint sheen on the upper half; uniform across the width so the
    // caption pictures on the right sit on plain blue.
    QRectF sheen(bar.left(), bar.top(), bar.width(), bar.height() * 0.5);
    QLinearGradient gloss(sheen.topLeft(), sheen.bottomLeft());
    gloss.setColorAt(0, QColor(255, 255, 255, 40));
    gloss.setColorAt(1, QColor(255, 255, 255, 6));
    p.fillRect(sheen, gloss);

    p.fillRect(QRect(bar.left(), bar.bottom(), bar.width(), 1), QColor(0x17, 0x4a, 0x85));
}

void paintTitleDecoration(QPainter& p) {
    // Soft arcs in the empty middle of the bar, clear of the caption pictures.
    p.save();
    p.setClipRect(QRect(330, 1, 440, kTitleHeight - 1));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 22 - i * 4), 14 - i * 3));
        p.drawEllipse(QPointF(560 + i * 40, 150 + i * 10), 230 - i * 10, 120);
    }
    p.restore();
}

void paintTitleText(QPainter& p) {
    paintAppBadge(p, QRectF(14, 11, 44, 44));

    QPainterPath title;
    title.addText(70, 34, uiFont(27, QFont::Bold), QStringLiteral("Korvel"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawPath(title.translated(0, 1.5));
    p.setBrush(Qt::white);
    p.drawPath(title);

    QPainterPath subtitle;
    subtitle.addText(
        71, 53, uiFont(13, QFont::DemiBold),
        QCoreApplication::translate("Pictures", "Temperature & Humidity Logger Setup"));
    p.setBrush(QColor(0xd9, 0xea, 0xfb));
    p.drawPath(subtitle);
}

void paintButtonColumn(QPainter& p, int height) {
    const QRect column(1, kTitleHeight + 1, kColumnRight - 1, height - kTitleHeight - 2);
    QLinearGradient fill(column.topLeft(), column.bottomLeft());
    fill.setColorAt(0, palette::column.lighter(104));
    fill.setColorAt(1, palette::column.darker(104));
    p.fillRect(column, fill);
    p.fillRect(QRect(kColumnRight - 1, column.top(), 1, column.height()),
               QColor(255, 255, 255, 160));
    p.fillRect(QRect(kColumnRight, column.top(), 1, column.height()), palette::columnEdge);

    // Small heading over the picture buttons, which sit at x 54..130 from y 168.
    const qreal centre = 92;
    drawCentredText(p, centre, 140, QCoreApplication::translate("Pictures", "LOGGER"),
                    uiFont(12, QFont::Bold), palette::heading);
    p.fillRect(QRectF(centre - 30, 148, 60, 2), QColor(0x2f, 0x6f, 0xb8, 120));

    drawCentredText(
        p, kColumnRight / 2.0, height - 14,
        QCoreApplication::translate("Pictures", "Version %1").arg(QStringLiteral("3.0")),
        uiFont(11), palette::quietText);
}

void paintWorkArea(QPainter& p, const QSize& size) {
    const QRect body(kColumnRight + 1, kTitleHeight + 1, size.width() - kColumnRight - 2,
                     size.height() - kTitleHeight - 2);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    fill.setColorAt(0, palette::body.lighter(103));
    fill.setColorAt(1, palette::body);
    p.fillRect(body, fill);

    // Drop shadow under the framed area gives it a little lift.
    QImage shape = transparentImage(size.width(), size.height(), scaleOf(p));
    {
        QPainter s(&shape);
        s.fillRect(kWorkArea.translated(0, 2), Qt::black);
    }
    p.drawImage(0, 0, blurredShape(shape, 2, QColor(0x1f, 0x3f, 0x66, 70)));

    p.fillRect(kWorkArea, palette::workFrame);
    p.fillRect(kWorkArea.adjusted(2, 2, -2, -2), palette::workArea);

    QPainterPath heading;
    heading.addText(kWorkArea.left() + 3, 89, uiFont(16, QFont::Bold),
                    QCoreApplication::translate("Pictures", "Logger Parameters"));
    p.setPen(Qt::NoPen);
    p.setBrush(palette::heading);
    p.drawPath(heading);

    const QString hint =
        QCoreApplication::translate("Pictures", "Read the logger, change its settings, then save.");
    const QFont hintFont = uiFont(12);
    p.setFont(hintFont);
    p.setPen(palette::quietText);
    p.drawText(QRect(kWorkArea.left(), 72, kWorkArea.width() - 3, 22),
               Qt::AlignRight | Qt::AlignBottom, hint);
    p.drawText(QRect(kWorkArea.left() + 3, kWorkArea.bottom() + 6, kWorkArea.width(), 22),
               Qt::AlignLeft | Qt::AlignVCenter,
               QCoreApplication::translate(
                   "Pictures", "Connect the logger to a USB port before pressing Read."));
}

QImage paintRoundButton(const QString& word, bool pressed, const Glyph& glyph, int scale) {
    constexpr int kSize = 76;
    QImage image = transparentImage(kSize, kSize, scale);
    const qreal sink = pressed ? 1.0 : 0.0;
    const QPointF centre(38, 37 + sink);
    const qreal radius = pressed ? 32.5 : 33.0;

    QImage disc = transparentImage(kSize, kSize, scale);
    {
        QPainter d(&disc);
        prepare(d);
        d.setPen(Qt::NoPen);
        d.setBrush(Qt::black);
        d.drawEllipse(centre, radius + 1, radius + 1);
    }

    QPainter p(&image);
    prepare(p);
    if (pressed) {
        p.drawImage(0, 0, blurredShape(disc, 3, QColor(0x7c, 0xc8, 0xff, 255)));
    } else {
        QImage shadow = transparentImage(kSize, kSize, scale);
        QPainter(&shadow).drawImage(0, 2, disc);
        p.drawImage(0, 0, blurredShape(shadow, 2, QColor(0x0c, 0x2a, 0x50, 150)));
    }

    // Bevelled rim: light at the top, dark at the bottom.
    QLinearGradient rim(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
    rim.setColorAt(0, pressed ? QColor(0x1a, 0x4f, 0x90) : QColor(0x8c, 0xc4, 0xf4));
    rim.setColorAt(1, pressed ? QColor(0x7f, 0xbf, 0xf5) : QColor(0x12, 0x3f, 0x75));
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(centre, radius, radius);

    const qreal inner = radius - 2.5;
    QLinearGradient body(centre.x(), centre.y() - inner, centre.x(), centre.y() + inner);
    body.setColorAt(0, pressed ? QColor(0x3a, 0x8c, 0xdc) : QColor(0x3b, 0x8d, 0xde));
    body.setColorAt(1, pressed ? QColor(0x5a, 0xaa, 0xf0) : QColor(0x1a, 0x56, 0x9c));
    p.setBrush(body);
    p.drawEllipse(centre, inner, inner);

    // Glow rising from the bottom edge; brighter when pressed.
    QRadialGradient glow(QPointF(centre.x(), centre.y() + inner), inner * 1.1);
    glow.setColorAt(0, QColor(0x9d, 0xd8, 0xff, pressed ? 170 : 110));
    glow.setColorAt(1, QColor(0x9d, 0xd8, 0xff, 0));
    p.setBrush(glow);
    p.drawEllipse(centre, inner, inner);

    if (pressed) {
        // Inner shadow along the top edge reads as pushed in.
        QRadialGradient dent(QPointF(centre.x(), centre.y() + inner * 0.35), inner * 1.35);
        dent.setColorAt(0.70, QColor(0, 0, 0, 0));
        dent.setColorAt(1.00, QColor(0x05, 0x1e, 0x40, 120));
        p.setBrush(dent);
        p.drawEllipse(centre, inner, inner);
    } else {
        QRectF gloss(centre.x() - inner * 0.78, centre.y() - inner * 0.96, inner * 1.56,
                     inner * 0.95);
        QLinearGradient shine(gloss.topLeft(), gloss.bottomLeft());
        shine.setColorAt(0, QColor(255, 255, 255, 120));
        shine.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(shine);
        p.drawEllipse(gloss);
    }

    glyph(p, QRectF(centre.x() - 12, centre.y() - 25, 24, 29));
    // The chord of the disc at the word's baseline.
    drawCentredText(p, centre.x(), centre.y() + 20, word,
                    fittedFont(word, uiFont(13, QFont::Bold), 48), Qt::white,
                    QColor(0x06, 0x22, 0x48, 150));
    return image;
}

QImage paintCaptionBadge(const QString& word, const std::function<void(QPainter&)>& mark,
                         int scale) {
    QImage image = transparentImage(36, 36, scale);
    QPainter p(&image);
    prepare(p);
    QRadialGradient backdrop(QPointF(18, 11), 12);
    backdrop.setColorAt(0, Qt::white);
    backdrop.setColorAt(1, QColor(0xe1, 0xee, 0xfb));
    p.setPen(QPen(QColor(0x0f, 0x35, 0x63, 120), 1));
    p.setBrush(backdrop);
    p.drawEllipse(QPointF(18, 12.5), 11, 11);
    mark(p);
    drawCentredText(p, 18, 34, word, fittedFont(word, uiFont(10, QFont::Bold), 35), Qt::white,
                    QColor(0x06, 0x22, 0x48, 170));
    return image;
}

QImage paintCaptionSquare(int width, int height, const std::function<void(QPainter&)>& mark,
                          int scale) {
    QImage image = transparentImage(width, height, scale);
    QPainter p(&image);
    prepare(p);
    const QRectF square(1.5, 1.5, width - 3, height - 3);
    QLinearGradient fill(square.topLeft(), square.bottomLeft());
    fill.setColorAt(0, Qt::white);
    fill.setColorAt(1, QColor(0xdc, 0xea, 0xf8));
    p.setPen(QPen(QColor(0x0f, 0x35, 0x63, 130), 1));
    p.setBrush(fill);
    p.drawRoundedRect(square, 4, 4);
    mark(p);
    return image;
}

} // namespace

QImage windowBackground(int scale) {
    const QSize size(978, 789);
    QImage image = transparentImage(size.width(), size.height(), scale);
    QPainter p(&image);
    prepare(p);
    paintTitleBar(p, QRect(0, 0, size.width(), kTitleHeight + 1));
    paintTitleDecoration(p);
    paintTitleText(p);
    paintButtonColumn(p, size.height());
    paintWorkArea(p, size);
    paintOuterBorder(p, size, palette::outerBorder);
    return image;
}

QImage readButton(bool pressed, int scale) {
    return paintRoundButton(
        QCoreApplication::translate("Pictures", "Read"), pressed,
        [](QPainter& p, const QRectF& box) {
            paintThermometer(p, QRectF(box.center().x() - 6.5, box.top(), 13, box.height()),
                             Qt::white, true);
        },
        scale);
}

QImage saveButton(bool pressed, int scale) {
    return paintRoundButton(
        QCoreApplication::translate("Pictures", "Save"), pressed,
        [](QPainter& p, const QRectF& box) {
            const qreal side = 23;
            paintFloppy(p, QRectF(box.center().x() - side / 2, box.bottom() - side - 1, side, side),
                        Qt::white);
        },
        scale);
}

QImage backButton(bool pressed, int scale) {
    return paintRoundButton(
        QCoreApplication::translate("Pictures", "Back"), pressed,
        [](QPainter& p, const QRectF& box) {
            const qreal side = 25;
            paintReturnArrow(
                p, QRectF(box.center().x() - side / 2, box.bottom() - side, side, side), Qt::white);
        },
        scale);
}

QImage openButton(bool pressed, int scale) {
    return paintRoundButton(
        QCoreApplication::translate("Pictures", "Open"), pressed,
        [](QPainter& p, const QRectF& box) {
            const qreal side = 25;
            paintFolder(p, QRectF(box.center().x() - side / 2, box.bottom() - side, side, side),
                        Qt::white);
        },
        scale);
}

QImage exportButton(bool pressed, int scale) {
    return paintRoundButton(
        QCoreApplication::translate("Pictures", "Export"), pressed,
        [](QPainter& p, const QRectF& box) {
            const qreal side = 23;
            paintExportArrow(
                p, QRectF(box.center().x() - side / 2, box.bottom() - side - 1, side, side),
                Qt::white);
        },
        scale);
}

QImage veil() {
    QImage image(1366, 768, QImage::Format_ARGB32);
    image.fill(QColor(174, 166, 166, 63));
    return image;
}

QImage aboutBadge(int scale) {
    return paintCaptionBadge(
        QCoreApplication::translate("Pictures", "About"),
        [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(palette::alarmRed);
            p.drawEllipse(QPointF(18, 6.5), 1.9, 1.9);
            p.drawRoundedRect(QRectF(16.3, 9.5, 3.4, 9.5), 1, 1);
        },
        scale);
}

QImage helpBadge(int scale) {
    return paintCaptionBadge(
        QCoreApplication::translate("Pictures", "Help"),
        [](QPainter& p) {
            drawCentredText(p, 18, 19, QStringLiteral("?"), uiFont(17, QFont::Black),
                            palette::alarmRed);
        },
        scale);
}

QImage minimiseBadge(int scale) {
    return paintCaptionSquare(
        24, 24,
        [](QPainter& p) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x1a, 0x1f, 0x26));
            p.drawRoundedRect(QRectF(6.5, 14.5, 11, 3), 1, 1);
        },
        scale);
}

QImage closeBadge(int scale) {
    return paintCaptionSquare(
        23, 24,
        [](QPainter& p) {
            p.setPen(QPen(palette::alarmRed, 2.6, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(7.5, 8), QPointF(15.5, 16));
            p.drawLine(QPointF(15.5, 8), QPointF(7.5, 16));
        },
        scale);
}

QImage aboutBackground(int scale) {
    const QSize size(502, 208);
    QImage image = transparentImage(size.width(), size.height(), scale);
    QPainter p(&image);
    prepare(p);
    paintTitleBar(p, QRect(0, 0, size.width(), size.height()));

    paintAppBadge(p, QRectF(8, 5, 20, 20));
    QPainterPath caption;
    caption.addText(34, 20, uiFont(14, QFont::Bold),
                    QCoreApplication::translate("Pictures", "About Korvel"));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(caption);

    const QRect panel(6, 29, size.width() - 12, size.height() - 35);
    p.fillRect(panel, QColor(0x17, 0x4a, 0x85));
    p.fillRect(panel.adjusted(1, 1, -1, -1), palette::workArea);

    // The version label sits at 47, 81 and the Back button at 368, 65: both
    // places stay plain.
    paintAppBadge(p, QRectF(47, 39, 32, 32));
    QPainterPath name;
    name.addText(88, 64, uiFont(22, QFont::Bold), QStringLiteral("Korvel"));
    p.setBrush(palette::heading);
    p.drawPath(name);

    p.setFont(uiFont(12));
    p.setPen(palette::quietText);
    p.drawText(QPointF(47, 128),
               QCoreApplication::translate("Pictures", "Temperature & Humidity Logger Setup"));
    p.drawText(QPointF(47, 146),
               QCoreApplication::translate("Pictures",
                                           "Reads and writes the logger's settings over USB."));
    p.fillRect(QRect(47, 160, 300, 1), QColor(0x2f, 0x6f, 0xb8, 70));
    p.drawText(QPointF(47, 180),
               QCoreApplication::translate("Pictures", "Press Back to return to the parameters."));
    paintOuterBorder(p, size, palette::outerBorder);
    return image;
}

QImage applicationIcon(int scale) {
    QImage image = transparentImage(256, 256, scale);
    const QRectF tile(12, 8, 232, 232);
    QImage shape = transparentImage(256, 256, scale);
    {
        QPainter s(&shape);
        prepare(s);
        s.setPen(Qt::NoPen);
        s.setBrush(Qt::black);
        s.drawRoundedRect(tile.translated(0, 6), 232 * 0.22, 232 * 0.22);
    }
    QPainter p(&image);
    prepare(p);
    p.drawImage(0, 0, blurredShape(shape, 3, QColor(0x0c, 0x2a, 0x50, 110)));
    paintAppBadge(p, tile);
    return image;
}

std::vector<Picture> allPictures() {
    const auto pressed = [](QImage (*button)(bool, int), bool down) {
        return [button, down](int scale) { return button(down, scale); };
    };
    return {
        {QStringLiteral("img1.png"), windowBackground},
        {QStringLiteral("imgRead.png"), pressed(readButton, false)},
        {QStringLiteral("imgRead0.png"), pressed(readButton, true)},
        {QStringLiteral("imgSave.png"), pressed(saveButton, false)},
        {QStringLiteral("imgSave0.png"), pressed(saveButton, true)},
        {QStringLiteral("imgBack.png"), pressed(backButton, false)},
        {QStringLiteral("imgBack0.png"), pressed(backButton, true)},
        {QStringLiteral("imgOpen.png"), pressed(openButton, false)},
        {QStringLiteral("imgOpen0.png"), pressed(openButton, true)},
        {QStringLiteral("imgExport.png"), pressed(exportButton, false)},
        {QStringLiteral("imgExport0.png"), pressed(exportButton, true)},
        {QStringLiteral("imgTran.png"), [](int) { return veil(); }, Picture::Flat},
        {QStringLiteral("imgAbout.png"), aboutBadge},
        {QStringLiteral("imgHelp.png"), helpBadge},
        {QStringLiteral("imgMin.png"), minimiseBadge},
        {QStringLiteral("imgClose.png"), closeBadge},
        {QStringLiteral("about_img1.png"), aboutBackground},
        {QStringLiteral("about_imgBack.png"), pressed(backButton, false)},
        {QStringLiteral("about_imgBack0.png"), pressed(backButton, true)},
        {QStringLiteral("korvel.png"), applicationIcon},
    };
}

} // namespace korvel::art
