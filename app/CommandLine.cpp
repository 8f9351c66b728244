#include "app/CommandLine.h"

#include "protocol/Result.h"

#include <optional>
#include <string_view>

namespace korvel::app {
namespace {

constexpr std::string_view kPort = "--port";
constexpr std::string_view kScreenshot = "--screenshot";

// The value of `option` at arguments[i], from "--option=VALUE" or the next
// argument, or why there is none; advances i past what it used. nullopt when
// arguments[i] is not that option.
std::optional<protocol::Result<std::string>> TakeValue(const std::vector<std::string>& arguments,
                                                       std::size_t& i, std::string_view option) {
    const std::string_view argument = arguments[i];
    if (argument.substr(0, option.size()) != option) {
        return std::nullopt;
    }
    const std::string_view rest = argument.substr(option.size());
    std::string value;
    if (rest.empty() && i + 1 < arguments.size()) {
        value = arguments[++i];
    } else if (!rest.empty() && rest.front() == '=') {
        value = rest.substr(1);
    } else if (!rest.empty()) {
        return std::nullopt; // e.g. "--ports"
    }
    if (value.empty()) {
        return protocol::Result<std::string>(
            protocol::Failure{protocol::Failure::Kind::Invalid,
                              "option '" + std::string(option) + "' needs a value"});
    }
    return protocol::Result<std::string>(std::move(value));
}

CommandLine Invalid(std::string error, std::string argument) {
    CommandLine line;
    line.request = Request::Invalid;
    line.error = std::move(error);
    line.argument = std::move(argument);
    return line;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    // Asking for help or the version is answered even on a line with faults.
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            return CommandLine{Request::Help, {}, {}, {}};
        }
        if (argument == "--version" || argument == "-v") {
            return CommandLine{Request::Version, {}, {}, {}};
        }
    }
    CommandLine line;
    std::string error;
    std::string culprit;
    for (std::size_t i = 0; i < arguments.size() && error.empty(); ++i) {
        culprit = arguments[i];
        if (culprit == "--demo") {
            line.options.demo = true;
        } else if (culprit == "--all-ports") {
            line.options.allPorts = true;
        } else if (auto port = TakeValue(arguments, i, kPort)) {
            if (*port) {
                line.options.ports.push_back(port->value());
            } else {
                error = port->failure().message;
            }
        } else if (auto file = TakeValue(arguments, i, kScreenshot)) {
            if (*file) {
                line.options.screenshot = file->value();
            } else {
                error = file->failure().message;
            }
        } else {
            error = "unknown option '" + culprit + "'";
        }
    }
    if (!error.empty()) {
        return Invalid(std::move(error), std::move(culprit));
    }
    if (line.options.demo && !line.options.ports.empty()) {
        return Invalid("--demo lists its own port and cannot be combined with --port", "--demo");
    }
    return line;
}

std::string UsageText() {
    return "usage: korvel [--port PATH]... [--all-ports] [--demo] [--screenshot FILE] [--help] "
           "[--version]\n"
           "Try 'korvel --help' for more information.\n";
}

std::string HelpText() {
    return "usage: korvel [--port PATH]... [--all-ports] [--demo] [--screenshot FILE]\n"
           "\n"
           "Reads and writes the settings of a USB temperature and humidity data logger.\n"
           "\n"
           "  --port PATH        look for the logger on PATH only; repeat for more ports\n"
           "                     (default: the USB serial ports of the computer)\n"
           "  --all-ports        look for the logger on every serial port, not only the\n"
           "                     USB ones (opening some, Bluetooth ports among them, can\n"
           "                     take seconds)\n"
           "  --demo             start a simulated logger and look for it only\n"
           "  --screenshot FILE  save a picture of the window to FILE, then quit\n"
           "  -h, --help         show this help and quit\n"
           "  -v, --version      show the version and quit\n";
}

std::string VersionText() {
    return std::string("korvel ") + KORVEL_VERSION;
}

} // namespace korvel::app
