#pragma once
// A picture control: shows a PNG (with its alpha) either at natural size from
// the top-left corner or stretched over the control, and reports the mouse.
// On a screen with more than one pixel to the unit it shows the picture's
// "@2x" twin instead, at the same size, so that it stays sharp. A picture
// with words shows its copy in the default locale's language where there is one.

#include <QPixmap>
#include <QWidget>

namespace korvel::window {

class TPicture : public QWidget {
    Q_OBJECT
public:
    // Shows `resource` (e.g. ":/assets/img1.png"), or only its twin
    // ":/assets/img1@2x.png" where the screen wants it and the twin exists;
    // a missing picture paints nothing.
    TPicture(QWidget* parent, const QString& resource, bool stretched);

    // What the control draws, decoded on first use: a picture that stays
    // hidden (the veil, the Back button) costs neither time nor memory. The
    // twin carries a device pixel ratio of 2, so its deviceIndependentSize()
    // is the 1x picture's size.
    const QPixmap& pixmap() const;
    bool stretched() const { return stretched_; }
    // The 1x picture's resource path, as given.
    const QString& resource() const { return resource_; }

signals:
    // A left press followed by a left release over the picture.
    void clicked();
    // Any mouse button pressed over the picture; the position is on the screen.
    void mouseDown(Qt::MouseButton button, QPointF globalPosition);
    // The mouse moved over the picture, whatever buttons are held.
    void mouseMoved(Qt::MouseButtons buttons, QPointF globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // Loads the picture for `scale` pixels to the unit (1 or 2).
    void load(int scale) const;

    QString resource_;
    mutable QPixmap pixmap_;
    mutable int loadedScale_ = 0; // 0 until the first use
    bool stretched_;
    bool leftPressed_ = false;
};

} // namespace korvel::window
