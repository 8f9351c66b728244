#include "window/Picture.h"

#include <QMouseEvent>
#include <QPainter>

namespace korvel::window {

TPicture::TPicture(QWidget* parent, const QString& resource, bool stretched)
    : QWidget(parent), pixmap_(resource), stretched_(stretched) {
    // Moves are reported without a held button too, as the drag handle needs.
    setMouseTracking(true);
}

void TPicture::paintEvent(QPaintEvent*) {
    if (pixmap_.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, stretched_);
    if (stretched_) {
        painter.drawPixmap(rect(), pixmap_);
    } else {
        painter.drawPixmap(0, 0, pixmap_);
    }
}

void TPicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftPressed_ = true;
    }
    emit mouseDown(event->button(), event->globalPosition());
}

void TPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const bool wasPressed = leftPressed_;
    leftPressed_ = false;
    if (wasPressed && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void TPicture::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->buttons(), event->globalPosition());
}

} // namespace korvel::window
