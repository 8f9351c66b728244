#pragma once
// A window program prints its help, version and usage errors where it was
// started from. Windows gives a window program no standard streams of its own
// when it is started from a console without redirection; there it borrows
// the parent's console for them. Elsewhere the streams are already there.
namespace korvel::platform {

void UseParentConsoleForOutput();

} // namespace korvel::platform
