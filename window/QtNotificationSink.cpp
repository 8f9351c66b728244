#include "window/QtNotificationSink.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace korvel::window {

using serial::INotificationSink;
using serial::Notification;
using serial::NotificationHandler;

namespace {

const QEvent::Type kNotificationEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class NotificationEvent final : public QEvent {
public:
    explicit NotificationEvent(Notification notification)
        : QEvent(kNotificationEventType), notification_(std::move(notification)) {}
    Notification& notification() { return notification_; }

private:
    Notification notification_;
};

class NotificationReceiver final : public QObject {
public:
    explicit NotificationReceiver(NotificationHandler handler) : handler_(std::move(handler)) {}

    bool event(QEvent* event) override {
        if (event->type() != kNotificationEventType) {
            return QObject::event(event);
        }
        handler_(static_cast<NotificationEvent*>(event)->notification());
        return true;
    }

private:
    NotificationHandler handler_;
};

class QtNotificationSink final : public INotificationSink {
public:
    explicit QtNotificationSink(NotificationHandler handler)
        : receiver_(std::make_unique<NotificationReceiver>(std::move(handler))) {}

    bool Post(Notification notification) override {
        // Qt owns posted events and deletes them after dispatch, or with the
        // receiver if they were never dispatched.
        QCoreApplication::postEvent(receiver_.get(),
                                    new NotificationEvent(std::move(notification)));
        return true;
    }

private:
    std::unique_ptr<NotificationReceiver> receiver_;
};

} // namespace

std::unique_ptr<INotificationSink> MakeQtNotificationSink(NotificationHandler handler) {
    return std::make_unique<QtNotificationSink>(std::move(handler));
}

} // namespace korvel::window
