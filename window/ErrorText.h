#pragma once
// A failure's message as the user reads it: the fixed messages of the serial
// port component in the user's language, any other message as it is.

#include <QString>

#include <exception>

namespace korvel::window {

QString ErrorText(const std::exception& error);

} // namespace korvel::window
