#include "cli/Environment.h"

#include "cli/Version.h"
#include "platform/Console.h"
#include "platform/PortList.h"
#include "platform/StopSignals.h"
#include "platform/UserIdentity.h"
#include "protocol/Printable.h"

#include <cstdlib>
#include <ostream>
#include <string_view>

namespace korvel::cli {

Reporter::Reporter(std::ostream& err, bool quiet, ErrorRecord* record)
    : sink_([&err](const std::string& line) { err << line << '\n'; }), quiet_(quiet),
      record_(record) {}

Reporter::Reporter(Sink sink, bool quiet, ErrorRecord* record)
    : sink_(std::move(sink)), quiet_(quiet), record_(record) {}

void Reporter::Progress(const std::string& message) const {
    if (!quiet_) {
        Line(message);
    }
}

void Reporter::Warning(const std::string& message) const {
    if (!quiet_) {
        Line("warning: " + message);
    }
}

void Reporter::Alert(const std::string& message) const {
    Line("warning: " + message);
}

void Reporter::Error(const std::string& message) const {
    Error(message, ErrorItem{{}, 0, 0, message});
}

void Reporter::Error(const std::string& message, ErrorItem item) const {
    Line(message);
    if (record_ != nullptr) {
        record_->Add(std::move(item));
    }
}

void Reporter::Hint(const std::string& message) const {
    Line(message);
}

void Reporter::Line(const std::string& message) const {
    // Messages quote keys, values and serial numbers that a file or a logger
    // controls: their control characters are escaped, never sent to the terminal.
    sink_("korvel-cli: " + protocol::PrintableText(message));
}

bool LiveTerminal(bool outputIsTerminal, const char* term) {
    return outputIsTerminal && (term == nullptr || std::string_view(term) != "dumb");
}

history::SaveAttempt AttemptIdentity(const Options& options, const Environment& env,
                                     platform::ClockSync clockSync) {
    history::SaveAttempt attempt;
    attempt.operatorName = options.operatorName.empty() ? env.loginName : options.operatorName;
    attempt.host = env.hostName;
    attempt.program = std::string("korvel-cli ") + kVersion;
    attempt.clockSync = platform::ClockSyncName(clockSync);
    return attempt;
}

Environment SystemEnvironment(std::ostream& out, std::ostream& err, std::istream& in,
                              std::vector<std::string> arguments) {
    Environment env{
        out,
        err,
        in,
        [] { return platform::ListSerialPorts(); },
        [](const std::vector<std::string>& ports) { return platform::DescribeSerialPorts(ports); },
        [] { return std::chrono::system_clock::now(); },
        platform::OpenSerialDevice,
        DefaultTiming(),
        std::move(arguments)};
    env.clockSync = [] { return platform::JudgeClockSync(platform::ReadClockDiscipline()); };
    env.loginName = platform::LoginName();
    env.hostName = platform::HostName();
    env.terminal = LiveTerminal(platform::OutputIsLiveTerminal(), std::getenv("TERM"));
    env.catchStopRequests = platform::CatchStopSignals;
    env.stopRequests = platform::StopSignalCount;
    env.sessionEnded = platform::SessionEnded;
    return env;
}

} // namespace korvel::cli
