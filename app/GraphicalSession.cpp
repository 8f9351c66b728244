#include "app/GraphicalSession.h"

#include <algorithm>

namespace korvel::app {
namespace {

// Qt's desktop platforms on Linux are X11 and Wayland; on Windows and macOS a
// logged-in session always has a screen.
#if defined(__linux__)
constexpr bool kNeedsDisplayServer = true;
#else
constexpr bool kNeedsDisplayServer = false;
#endif

bool IsSet(const EnvironmentLookup& environment, const char* name) {
    const char* value = environment(name);
    return value != nullptr && *value != '\0';
}

} // namespace

bool HasGraphicalSession(const EnvironmentLookup& environment,
                         const std::vector<std::string>& arguments) {
    if (!kNeedsDisplayServer) {
        return true;
    }
    // A platform chosen by the user (offscreen, vnc, ...) may need no display;
    // Qt judges that itself.
    if (IsSet(environment, "QT_QPA_PLATFORM") ||
        std::find(arguments.begin(), arguments.end(), "-platform") != arguments.end()) {
        return true;
    }
    return IsSet(environment, "DISPLAY") || IsSet(environment, "WAYLAND_DISPLAY");
}

std::string NoGraphicalSessionText(bool cliInstalled) {
    std::string text =
        "korvel: no graphical session: Korvel shows a window and needs an X11 or Wayland "
        "display, but neither DISPLAY nor WAYLAND_DISPLAY is set.\n"
        "Start it from a desktop session, or on a virtual display with xvfb-run, "
        "for example: xvfb-run korvel --demo\n";
    if (cliInstalled) {
        text += "Without a display, use the command-line program ";
        text += kCliProgram;
        text += " instead.\n";
    }
    return text;
}

} // namespace korvel::app
