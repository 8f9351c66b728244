#include "platform/ParentConsole.h"

namespace korvel::platform {

void UseParentConsoleForOutput() {}

} // namespace korvel::platform
