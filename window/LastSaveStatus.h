#pragma once
// What the status line says after a Read: when the logger was last saved, by
// whom and on which bench, as the history of saves holds it. Pure text; the
// window asks the history and shows the result.

#include "history/SaveHistory.h"

#include <QLocale>
#include <QTimeZone>

#include <optional>
#include <string>

namespace korvel::window {

// UTF-8, in the user's language, the time in `zone` written as `locale` writes
// a short date and time. A save that did not end acknowledged says how it
// ended. Empty when the history holds no save of the logger.
std::string LastSaveText(const std::optional<history::LastSave>& last, const QTimeZone& zone,
                         const QLocale& locale);

} // namespace korvel::window
