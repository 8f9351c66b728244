#include "window/Picture.h"

#include "assets/Assets.h"

#include <QMouseEvent>
#include <QPainter>

namespace korvel::window {
namespace {

// Pictures come at one and two pixels to the unit. 150 % takes the larger:
// shrinking it keeps the edges that enlarging the smaller would blur.
int PictureScale(qreal devicePixelRatio) {
    return devicePixelRatio > 1 ? 2 : 1;
}

} // namespace

TPicture::TPicture(QWidget* parent, const QString& resource, bool stretched)
    : QWidget(parent), resource_(resource), stretched_(stretched) {
    // Moves are reported without a held button too, as the drag handle needs.
    setMouseTracking(true);
}

const QPixmap& TPicture::pixmap() const {
    // The window may have moved to a screen of another density since.
    if (const int scale = PictureScale(devicePixelRatio()); scale != loadedScale_) {
        load(scale);
    }
    return pixmap_;
}

void TPicture::load(int scale) const {
    loadedScale_ = scale;
    const QString resource = korvel::assets::translatedPath(resource_);
    if (scale > 1) {
        pixmap_ = QPixmap(korvel::assets::doubledName(resource));
        if (!pixmap_.isNull()) {
            // Qt's reader takes the ratio from the "@2x" name already, unless
            // QT_HIGHDPI_DISABLE_2X_IMAGE_LOADING is set; then this copies.
            pixmap_.setDevicePixelRatio(scale);
            return;
        }
    }
    pixmap_ = QPixmap(resource);
}

void TPicture::paintEvent(QPaintEvent*) {
    const QPixmap& shown = pixmap();
    if (shown.isNull()) {
        return;
    }
    QPainter painter(this);
    // Stretching resamples, and so does a picture of another density than the
    // screen's (the twin at 150 %, the flat veil's only size at 200 %).
    painter.setRenderHint(QPainter::SmoothPixmapTransform,
                          stretched_ || shown.devicePixelRatio() != devicePixelRatio());
    if (stretched_) {
        painter.drawPixmap(rect(), shown);
    } else {
        painter.drawPixmap(0, 0, shown);
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
