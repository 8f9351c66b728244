#pragma once
// The window's hand-over for its port component's notifications: Qt posted
// events to a receiver living on the constructing thread, handled by the
// ordinary event dispatch in posting order, also inside modal loops. Events
// still queued when the sink goes away are discarded with their blocks. The
// serial layer itself knows nothing of Qt; this adapter is passed to TComm.

#include <memory>

#include "serial/Notification.h"

namespace korvel::window {

std::unique_ptr<serial::INotificationSink>
MakeQtNotificationSink(serial::NotificationHandler handler);

} // namespace korvel::window
