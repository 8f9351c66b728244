// Shared drawing pieces of the artwork: palette, fonts, blur and the vector
// glyphs (thermometer, drop, floppy disk, return arrow, folder, export arrow) that several pictures
// use.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;

namespace korvel::art {

// One palette for every picture so the window reads as one piece.
namespace palette {
inline const QColor titleTop{0x2f, 0x7f, 0xd0};
inline const QColor titleBottom{0x1f, 0x5f, 0xa8};
inline const QColor outerBorder{0x0f, 0x35, 0x63};
inline const QColor column{0xd6, 0xe8, 0xf8};
inline const QColor columnEdge{0xa8, 0xc5, 0xe3};
inline const QColor body{0xe3, 0xe9, 0xf0};
inline const QColor workArea{0xee, 0xf1, 0xf4};
inline const QColor workFrame{0x2f, 0x6f, 0xb8};
inline const QColor heading{0x1f, 0x4f, 0x86};
inline const QColor quietText{0x5f, 0x72, 0x88};
inline const QColor mercury{0xe0, 0x2f, 0x2f};
inline const QColor alarmRed{0xd3, 0x22, 0x22};
inline const QColor dropBlue{0xa6, 0xda, 0xff};
} // namespace palette

// A transparent ARGB32 canvas of the given size in picture units, with `scale`
// pixels to the unit: painting on it is in units, so one drawing serves every scale.
QImage transparentImage(int width, int height, int scale);

// The pixels to the unit of whatever `painter` paints on.
int scaleOf(const QPainter& painter);

// Sans-serif UI font by family name, falling back to whatever sans is installed.
QFont uiFont(int pixelSize, QFont::Weight weight = QFont::Normal);

// Soft shadow or glow: the image's alpha shape, blurred, in one colour. The
// radius is in picture units and the result has the shape's scale.
QImage blurredShape(const QImage& shape, int radius, const QColor& colour);

// A painter set up for smooth, antialiased drawing.
void prepare(QPainter& painter);

// Text centred horizontally on centreX with its baseline at baselineY,
// with an optional one-pixel shadow below it.
void drawCentredText(QPainter& painter, qreal centreX, qreal baselineY, const QString& text,
                     const QFont& font, const QColor& colour,
                     const QColor& shadow = Qt::transparent);

// `font`, made smaller where `text` would be wider than `width` (a longer
// translation of a word on a button), but never below 8 px.
QFont fittedFont(const QString& text, QFont font, qreal width);

// A one-unit frame just inside `size`, edge to edge at every scale.
void paintOuterBorder(QPainter& painter, const QSize& size, const QColor& colour);

// Glyphs fill the given box (upright, aspect kept by the caller); `ink` is
// the glyph colour. Cut-outs are punched through, so the surface beneath shows.
void paintThermometer(QPainter& painter, const QRectF& box, const QColor& ink, bool withMercury);
void paintDrop(QPainter& painter, const QRectF& box, const QColor& ink);
void paintFloppy(QPainter& painter, const QRectF& box, const QColor& ink);
void paintReturnArrow(QPainter& painter, const QRectF& box, const QColor& ink);
void paintFolder(QPainter& painter, const QRectF& box, const QColor& ink);
void paintExportArrow(QPainter& painter, const QRectF& box, const QColor& ink);

// The application badge: thermometer and humidity drop on a rounded blue square.
void paintAppBadge(QPainter& painter, const QRectF& box);

} // namespace korvel::art
