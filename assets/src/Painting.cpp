#include "Painting.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <vector>

namespace korvel::art {

QImage transparentImage(int width, int height, int scale) {
    QImage image(width * scale, height * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    return image;
}

int scaleOf(const QPainter& painter) {
    return int(painter.device()->devicePixelRatio());
}

QFont uiFont(int pixelSize, QFont::Weight weight) {
    QFont font;
    // Liberation Sans keeps the look of the usual Windows UI face; DejaVu is
    // the fallback every Debian desktop has.
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

namespace {

// One horizontal and one vertical box-blur pass over a single channel.
void boxBlur(std::vector<float>& values, int width, int height, int radius) {
    std::vector<float> row(values.size());
    const float scale = 1.0f / float(2 * radius + 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) {
                sum += values[y * width + std::clamp(x + k, 0, width - 1)];
            }
            row[y * width + x] = sum * scale;
        }
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float sum = 0;
            for (int k = -radius; k <= radius; ++k) {
                sum += row[std::clamp(y + k, 0, height - 1) * width + x];
            }
            values[y * width + x] = sum * scale;
        }
    }
}

} // namespace

QImage blurredShape(const QImage& shape, int radius, const QColor& colour) {
    const int scale = int(shape.devicePixelRatio());
    const int width = shape.width();
    const int height = shape.height();
    std::vector<float> alpha(std::size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            alpha[y * width + x] = float(qAlpha(shape.pixel(x, y)));
        }
    }
    // Three box passes come close to a Gaussian.
    for (int pass = 0; pass < 3; ++pass) {
        boxBlur(alpha, width, height, radius * scale);
    }
    QImage result = transparentImage(width / scale, height / scale, scale);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int a = int(std::lround(alpha[y * width + x] * colour.alphaF()));
            result.setPixel(x, y, qRgba(colour.red(), colour.green(), colour.blue(), a));
        }
    }
    return result;
}

void prepare(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
}

void drawCentredText(QPainter& painter, qreal centreX, qreal baselineY, const QString& text,
                     const QFont& font, const QColor& colour, const QColor& shadow) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    const qreal left = centreX - path.boundingRect().width() / 2 - path.boundingRect().left();
    painter.save();
    painter.setPen(Qt::NoPen);
    if (shadow.alpha() > 0) {
        painter.setBrush(shadow);
        painter.drawPath(path.translated(left, baselineY + 1));
    }
    painter.setBrush(colour);
    painter.drawPath(path.translated(left, baselineY));
    painter.restore();
}

QFont fittedFont(const QString& text, QFont font, qreal width) {
    while (font.pixelSize() > 8 && QFontMetricsF(font).horizontalAdvance(text) > width) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

void paintOuterBorder(QPainter& painter, const QSize& size, const QColor& colour) {
    // Filled strips rather than a pen, whose width would straddle the edge.
    const int w = size.width();
    const int h = size.height();
    painter.fillRect(QRect(0, 0, w, 1), colour);
    painter.fillRect(QRect(0, h - 1, w, 1), colour);
    painter.fillRect(QRect(0, 0, 1, h), colour);
    painter.fillRect(QRect(w - 1, 0, 1, h), colour);
}

void paintThermometer(QPainter& painter, const QRectF& box, const QColor& ink, bool withMercury) {
    const qreal w = box.width();
    const qreal cx = box.center().x();
    const qreal bulbRadius = w * 0.5;
    const qreal stemWidth = w * 0.5;
    const QPointF bulbCentre(cx, box.bottom() - bulbRadius);

    QPainterPath outline;
    outline.addRoundedRect(QRectF(cx - stemWidth / 2, box.top(), stemWidth, box.height() - w),
                           stemWidth / 2, stemWidth / 2);
    QPainterPath bulb;
    bulb.addEllipse(bulbCentre, bulbRadius, bulbRadius);
    outline = outline.united(bulb);

    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(outline);
    if (withMercury) {
        const qreal columnWidth = stemWidth * 0.42;
        const qreal columnTop = box.top() + box.height() * 0.30;
        QPainterPath mercury;
        mercury.addRoundedRect(
            QRectF(cx - columnWidth / 2, columnTop, columnWidth, bulbCentre.y() - columnTop),
            columnWidth / 2, columnWidth / 2);
        QPainterPath bead;
        bead.addEllipse(bulbCentre, bulbRadius * 0.62, bulbRadius * 0.62);
        painter.setBrush(palette::mercury);
        painter.drawPath(mercury.united(bead));
    }
    painter.restore();
}

void paintDrop(QPainter& painter, const QRectF& box, const QColor& ink) {
    const qreal radius = box.width() / 2;
    const qreal cx = box.center().x();
    const QPointF tip(cx, box.top());
    const QRectF round(cx - radius, box.bottom() - 2 * radius, 2 * radius, 2 * radius);
    const qreal shoulder = box.bottom() - radius * 1.9;

    QPainterPath drop;
    drop.moveTo(tip);
    drop.cubicTo(cx + radius * 0.15, box.top() + radius * 0.5, cx + radius, shoulder, cx + radius,
                 box.bottom() - radius);
    drop.arcTo(round, 0, -180);
    drop.cubicTo(cx - radius, shoulder, cx - radius * 0.15, box.top() + radius * 0.5, tip.x(),
                 tip.y());
    drop.closeSubpath();

    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(drop);
    // A small highlight gives the drop some volume.
    QPen shine(QColor(255, 255, 255, 200), radius * 0.22, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(shine);
    painter.setBrush(Qt::NoBrush);
    const QRectF arc = round.adjusted(radius * 0.3, radius * 0.3, -radius * 0.3, -radius * 0.3);
    painter.drawArc(arc, 190 * 16, 55 * 16);
    painter.restore();
}

void paintFloppy(QPainter& painter, const QRectF& box, const QColor& ink) {
    // Drawn on its own layer so the shutter and label can be punched through.
    const QRect area = box.toAlignedRect();
    QImage layer = transparentImage(area.width(), area.height(), scaleOf(painter));
    {
        QPainter p(&layer);
        prepare(p);
        p.translate(-area.topLeft());
        const qreal s = box.width();
        const qreal x = box.left();
        const qreal y = box.top();
        const qreal corner = s * 0.08;

        QPolygonF body;
        body << QPointF(x, y) << QPointF(x + s * 0.8, y) << QPointF(x + s, y + s * 0.2)
             << QPointF(x + s, y + s) << QPointF(x, y + s);
        p.setPen(QPen(ink, corner, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
        p.setBrush(ink);
        p.drawPolygon(body.translated(0, 0));

        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(x + s * 0.2, y + s * 0.02, s * 0.52, s * 0.3), s * 0.03, s * 0.03);
        p.drawRoundedRect(QRectF(x + s * 0.14, y + s * 0.5, s * 0.72, s * 0.42), s * 0.05,
                          s * 0.05);

        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setBrush(ink);
        p.drawRect(QRectF(x + s * 0.54, y + s * 0.07, s * 0.1, s * 0.2));
        const qreal line = std::max(1.2, s * 0.055);
        p.setPen(QPen(ink, line, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(x + s * 0.26, y + s * 0.64), QPointF(x + s * 0.74, y + s * 0.64));
        p.drawLine(QPointF(x + s * 0.26, y + s * 0.78), QPointF(x + s * 0.66, y + s * 0.78));
    }
    painter.drawImage(area.topLeft(), layer);
}

void paintReturnArrow(QPainter& painter, const QRectF& box, const QColor& ink) {
    const qreal s = box.width();
    auto at = [&](qreal fx, qreal fy) { return QPointF(box.left() + fx * s, box.top() + fy * s); };

    QPainterPath shaft;
    shaft.moveTo(at(0.30, 0.30));
    shaft.lineTo(at(0.58, 0.30));
    shaft.cubicTo(at(0.98, 0.30), at(0.98, 0.86), at(0.58, 0.86));
    shaft.lineTo(at(0.24, 0.86));

    painter.save();
    painter.setPen(QPen(ink, s * 0.15, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shaft);
    QPolygonF head;
    head << at(0.02, 0.30) << at(0.38, 0.04) << at(0.38, 0.56);
    painter.setPen(QPen(ink, s * 0.05, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(ink);
    painter.drawPolygon(head);
    painter.restore();
}

void paintFolder(QPainter& painter, const QRectF& box, const QColor& ink) {
    // On its own layer so the gap between back and open flap can be punched through.
    const QRect area = box.toAlignedRect();
    QImage layer = transparentImage(area.width(), area.height(), scaleOf(painter));
    {
        QPainter p(&layer);
        prepare(p);
        p.translate(-area.topLeft());
        const qreal s = box.width();
        auto at = [&](qreal fx, qreal fy) {
            return QPointF(box.left() + fx * s, box.top() + fy * s);
        };

        QPainterPath back;
        back.moveTo(at(0.04, 0.14));
        back.lineTo(at(0.38, 0.14));
        back.lineTo(at(0.48, 0.26));
        back.lineTo(at(0.90, 0.26));
        back.lineTo(at(0.90, 0.86));
        back.lineTo(at(0.04, 0.86));
        back.closeSubpath();
        p.setPen(QPen(ink, s * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(ink);
        p.drawPath(back);

        QPolygonF flap;
        flap << at(0.22, 0.42) << at(1.00, 0.42) << at(0.84, 0.86) << at(0.04, 0.86);
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        p.setPen(QPen(Qt::black, s * 0.16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::black);
        p.drawPolygon(flap);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(ink, s * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(ink);
        p.drawPolygon(flap);
    }
    painter.drawImage(area.topLeft(), layer);
}

void paintExportArrow(QPainter& painter, const QRectF& box, const QColor& ink) {
    const qreal s = box.width();
    auto at = [&](qreal fx, qreal fy) { return QPointF(box.left() + fx * s, box.top() + fy * s); };

    painter.save();
    painter.setPen(QPen(ink, s * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    QPainterPath tray;
    tray.moveTo(at(0.08, 0.52));
    tray.lineTo(at(0.08, 0.90));
    tray.lineTo(at(0.92, 0.90));
    tray.lineTo(at(0.92, 0.52));
    painter.drawPath(tray);
    painter.drawLine(at(0.50, 0.70), at(0.50, 0.24));
    QPolygonF head;
    head << at(0.50, 0.02) << at(0.78, 0.32) << at(0.22, 0.32);
    painter.setPen(QPen(ink, s * 0.05, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(ink);
    painter.drawPolygon(head);
    painter.restore();
}

void paintAppBadge(QPainter& painter, const QRectF& box) {
    const qreal s = box.width();
    const qreal radius = s * 0.22;
    painter.save();

    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, QColor(0x4a, 0x9b, 0xe8));
    fill.setColorAt(1, QColor(0x17, 0x4c, 0x90));
    painter.setPen(QPen(QColor(0x0f, 0x35, 0x63), std::max(1.0, s * 0.012)));
    painter.setBrush(fill);
    const qreal inset = std::max(0.5, s * 0.006);
    painter.drawRoundedRect(box.adjusted(inset, inset, -inset, -inset), radius, radius);

    // Glass highlight over the upper half.
    QPainterPath gloss;
    const QRectF upper(box.left() + s * 0.05, box.top() + s * 0.04, s * 0.9, s * 0.48);
    gloss.addRoundedRect(upper, radius * 0.85, radius * 0.85);
    QLinearGradient shine(upper.topLeft(), upper.bottomLeft());
    shine.setColorAt(0, QColor(255, 255, 255, 90));
    shine.setColorAt(1, QColor(255, 255, 255, 8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shine);
    painter.drawPath(gloss);

    paintThermometer(painter,
                     QRectF(box.left() + s * 0.27, box.top() + s * 0.14, s * 0.24, s * 0.72),
                     Qt::white, true);
    paintDrop(painter, QRectF(box.left() + s * 0.58, box.top() + s * 0.44, s * 0.22, s * 0.32),
              palette::dropBlue);
    painter.restore();
}

} // namespace korvel::art
