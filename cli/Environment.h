#pragma once
// What every command of korvel-cli is given: the environment it touches the
// system through, the exit codes it returns, who saves, and the one reporter
// that writes progress, warnings and errors. Everything outside the program
// comes through Environment, so tests run the commands against simulated
// loggers on pseudo-terminals and read what they print.
//
// Results go to `out`; progress, warnings and errors to `err`, every line
// starting with "korvel-cli: ".

#include "cli/CommandLine.h"
#include "cli/Exchange.h"
#include "cli/JsonOutput.h"
#include "cli/OutputFile.h"
#include "history/SaveHistory.h"
#include "platform/ClockSync.h"
#include "platform/DataFolder.h"
#include "platform/PortInfo.h"
#include "serial/Comm.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace korvel::cli {

namespace exit_code {
inline constexpr int kDone = 0;
// No logger, no reply, a bad frame.
inline constexpr int kNothingSaved = 1;
// The command line, or a settings file that cannot be read, holds a value the
// logger does not take, or is for another logger.
inline constexpr int kUsage = 2;
inline constexpr int kNotConfirmed = 3; // a save was sent but is not confirmed
inline constexpr int kSeveralLoggers = 4;
inline constexpr int kHistoryBroken = 5; // history verify found an edited or deleted row
} // namespace exit_code

// How often a thread that waits looks at the stop requests.
inline constexpr std::chrono::milliseconds kStopPoll{50};

struct Environment {
    std::ostream& out;
    std::ostream& err;
    std::istream& in;
    // The serial ports; nothing when they cannot be listed.
    std::function<std::optional<std::vector<std::string>>()> listPorts;
    std::function<std::vector<platform::PortInfo>(const std::vector<std::string>&)> describePorts;
    std::function<std::chrono::system_clock::time_point()> now;
    serial::TComm::DeviceOpener opener;
    Timing timing;
    std::vector<std::string> arguments; // the command line as given, for the trace
    // Where saves are recorded; null when no history is kept.
    history::SaveHistory* history = nullptr;
    // Creates the new file of a report or a trace.
    FileCreator createFile = platform::CreateNewFile;
    // Whether the computer's clock is kept synchronised.
    std::function<platform::ClockSync()> clockSync = [] { return platform::ClockSync::Unknown; };
    // The environment's variables (where the configuration files are).
    platform::EnvironmentLookup variables = platform::SystemEnvironmentVariable;
    std::string loginName = {}; // the default operator
    std::string hostName = {};
    // `out` is a terminal that takes cursor movements (LiveTerminal):
    // provisioning draws live lines.
    bool terminal = false;
    // Makes the stop signals (Ctrl-C, SIGTERM, SIGHUP) countable instead of
    // fatal and a broken pipe an error, and counts them.
    std::function<void()> catchStopRequests = [] {};
    std::function<int()> stopRequests = [] { return 0; };
    // Whether one of them was the terminal or session going away.
    std::function<bool()> sessionEnded = [] { return false; };
};

// Whether the output may be redrawn in place: a terminal, and not one that
// says through TERM=dumb that it cannot move the cursor (an editor's shell, a
// CI log). `term` is TERM's value, null when it is not set (as on Windows).
bool LiveTerminal(bool outputIsTerminal, const char* term);

// The real system: its ports, its clock, its devices.
Environment SystemEnvironment(std::ostream& out, std::ostream& err, std::istream& in,
                              std::vector<std::string> arguments);

// Who saves, where and with what, for the record of a save: the operator
// (--operator, else the login name), host, program and clock state.
history::SaveAttempt AttemptIdentity(const Options& options, const Environment& env,
                                     platform::ClockSync clockSync);

// The one way a message reaches the user: "korvel-cli: " and the message, a
// warning with "warning: " after the prefix. Progress and warnings are left
// out under --quiet; errors and alerts never are. A line goes to the error stream, or to
// a sink that takes the whole line (the live provisioning board, which must
// not be broken by a line of its own). Control characters in a message are
// escaped (protocol::PrintableText). Safe from several threads when the sink
// is. Under --json each error is also kept in a record, for the JSON outcome.
class Reporter {
public:
    using Sink = std::function<void(const std::string& line)>;

    Reporter(std::ostream& err, bool quiet, ErrorRecord* record = nullptr);
    Reporter(Sink sink, bool quiet, ErrorRecord* record = nullptr);

    void Progress(const std::string& message) const;
    void Warning(const std::string& message) const;
    // A warning that --quiet does not leave out: what the user must hear all
    // the same (a save the history did not record).
    void Alert(const std::string& message) const;
    void Error(const std::string& message) const;
    // An error told as `message`, recorded as `item` (its key and place).
    void Error(const std::string& message, ErrorItem item) const;
    // What to do after errors: never left out, but no error of its own.
    void Hint(const std::string& message) const;

    // Where errors are recorded; null when they are not.
    ErrorRecord* Record() const { return record_; }

private:
    void Line(const std::string& message) const;

    Sink sink_;
    bool quiet_;
    ErrorRecord* record_;
};

} // namespace korvel::cli
