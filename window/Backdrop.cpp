#include "window/Backdrop.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

#include <utility>
#include <vector>

namespace korvel::window {
namespace {

class BackdropPainter final : public QObject {
public:
    BackdropPainter(QWidget& control, QPixmap backdrop)
        : QObject(&control), backdrop_(std::move(backdrop)) {
        setObjectName(QStringLiteral("backdrop"));
        control.setAttribute(Qt::WA_OpaquePaintEvent);
        control.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QPainter painter(static_cast<QWidget*>(watched));
            painter.drawPixmap(0, 0, backdrop_);
        }
        return false;
    }

private:
    QPixmap backdrop_;
};

} // namespace

void PaintGroupBackdrops(QGroupBox& group) {
    // Hidden controls are left out (nothing repaints them), and so are those
    // the group clips (never seen).
    std::vector<QWidget*> controls;
    QRect covered;
    for (QWidget* control : group.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const bool kind = qobject_cast<QComboBox*>(control) != nullptr ||
                          qobject_cast<QLineEdit*>(control) != nullptr;
        if (kind && !control->isHidden() && group.rect().contains(control->geometry())) {
            controls.push_back(control);
            covered |= control->geometry();
        }
    }
    if (controls.empty()) {
        return;
    }
    // The group alone, its background and its own painting, where it lies
    // under those controls.
    const qreal ratio = group.devicePixelRatioF();
    QImage look(covered.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    look.setDevicePixelRatio(ratio);
    look.fill(Qt::transparent);
    group.render(&look, QPoint(), QRegion(covered), QWidget::DrawWindowBackground);
    for (QWidget* control : controls) {
        const QRect place = control->geometry().translated(-covered.topLeft());
        QPixmap backdrop =
            QPixmap::fromImage(look.copy(QRect(place.topLeft() * ratio, place.size() * ratio)));
        backdrop.setDevicePixelRatio(ratio);
        new BackdropPainter(*control, std::move(backdrop));
    }
}

} // namespace korvel::window
