#pragma once
// Delivers notifications through Qt posted events to a receiver living on the
// constructing thread: handled by the ordinary event dispatch, in posting
// order, also inside modal loops. Events still queued when the sink goes away
// are discarded with their blocks.

#include <memory>

#include "serial/Notification.h"

namespace korvel::serial {

std::unique_ptr<INotificationSink> MakeQtNotificationSink(NotificationHandler handler);

} // namespace korvel::serial
