#pragma once
// Whether korvel can show its window at all, judged before Qt starts: on Linux,
// Qt's platforms need an X11 or Wayland display, and without one QApplication
// aborts the process with a core dump instead of returning an error.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::app {

// The command-line companion program, mentioned only where it is installed.
inline constexpr std::string_view kCliProgram = "korvel-cli";

// The value of an environment variable, or null when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// False on Linux when none of DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM is set
// (an empty value counts as unset) and `arguments` (without the program name)
// choose no platform with Qt's -platform: nothing could show the window.
// Always true elsewhere.
bool HasGraphicalSession(const EnvironmentLookup& environment,
                         const std::vector<std::string>& arguments);

// The lines for standard error when there is no graphical session: what is
// missing and how to run korvel all the same; `cliInstalled` adds korvel-cli.
std::string NoGraphicalSessionText(bool cliInstalled);

} // namespace korvel::app
