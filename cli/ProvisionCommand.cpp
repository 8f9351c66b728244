// `provision`: the file read whole, then every logger found (Provision.h).
#include "cli/Command.h"
#include "cli/Provision.h"

namespace korvel::cli {

int RunProvisionCommand(const CommandContext& context) {
    std::string fileText;
    // Every problem of the file is told before the trace, the demo logger or any port.
    const auto file = ReadSettingsFile(context, FileUse::Provision, &fileText);
    if (!file) {
        return exit_code::kUsage;
    }
    PortSession session;
    if (const int code = OpenPortSession(context, session); code != exit_code::kDone) {
        return code;
    }
    const PortLister ports = [&] { return PortsToTry(context, session.demo.get()); };
    return RunProvision(context, *file, fileText, ports, session.trace);
}

} // namespace korvel::cli
