#pragma once
// A picture control: shows a PNG (with its alpha) either at natural size from
// the top-left corner or stretched over the control, and reports the mouse.

#include <QPixmap>
#include <QWidget>

namespace korvel::window {

class TPicture : public QWidget {
    Q_OBJECT
public:
    // Loads `resource` (e.g. ":/assets/img1.png"); a missing picture paints nothing.
    TPicture(QWidget* parent, const QString& resource, bool stretched);

    const QPixmap& pixmap() const { return pixmap_; }
    bool stretched() const { return stretched_; }

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
    QPixmap pixmap_;
    bool stretched_;
    bool leftPressed_ = false;
};

} // namespace korvel::window
