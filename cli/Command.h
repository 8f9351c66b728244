#pragma once
// One korvel-cli command: what the dispatcher (Commands.cpp) hands it, the one
// signature every command has, and the steps commands share: reading the
// settings file, the trace and demo logger, and finding the logger.
//
// A new command: a value in `Command` (CommandLine.h), its options there, a
// file <Name>Command.cpp with `int Run<Name>Command(const CommandContext&)`,
// and its row in the dispatch table in Commands.cpp.

#include "cli/CommandLine.h"
#include "cli/Discovery.h"
#include "cli/Environment.h"
#include "cli/EventQueue.h"
#include "cli/JsonOutput.h"
#include "cli/LoggerPort.h"
#include "cli/SaveLogger.h"
#include "cli/Trace.h"
#include "history/HistoryStore.h"
#include "history/SharedHistory.h"
#include "protocol/ParameterBlock.h"
#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"
#include "tools/sim/DemoLogger.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvel::cli {

struct CommandContext {
    const Options& options;
    Environment& env;
    const Reporter& report;
    // The history file, opened by the dispatcher for `history`; null otherwise.
    // Saving commands record through env.history.
    history::HistoryStore* store = nullptr;
    // Where OpenPortSession keeps the trace of --trace: the dispatcher holds it,
    // so that it outlives the command's ports and is closed, and a trace that
    // could not be written whole is told, after the command (CloseTrace).
    std::unique_ptr<Trace>* trace = nullptr;
    // The shared history, when one is configured; for `history`.
    const history::SharedTarget* shared = nullptr;
};

using CommandFunction = int (*)(const CommandContext&);

int RunCheckCommand(const CommandContext& context);
int RunHistoryCommand(const CommandContext& context);
int RunListCommand(const CommandContext& context);
int RunProvisionCommand(const CommandContext& context);
int RunReadCommand(const CommandContext& context);
int RunWriteCommand(const CommandContext& context);

// ---- Steps the commands share ----

// "standard input" for "-", else the path.
std::string FileName(const std::string& path);

// What a settings file is read for, and so which of its problems wait: none
// but for `write`, whose one logger may already hold an odd value; and only
// when the file has no other problem.
enum class FileUse { Check, Write, Provision };

// The settings file of --file read and checked in one pass, before any port
// is opened: every problem told at once (settingsfile::FileProblems, and for
// provisioning ProvisionFileRefusals); nothing means the usage exit.
// `fileText` (may be null) receives the text as read.
std::optional<settingsfile::SettingsFile>
ReadSettingsFile(const CommandContext& context, FileUse use, std::string* fileText = nullptr);

// A settings file's errors told under its name, each recorded with its key
// and place in `text` when errors are recorded (--json).
void TellFileErrors(const Reporter& report, const std::string& name,
                    const std::vector<settingsfile::FileError>& errors, std::string_view text);

// Prints a command's JSON (OutcomeObject, VersionedObject) on standard
// output; the dispatcher then prints no failure object of its own.
void PrintJson(const CommandContext& context, const settingsfile::Node& node);

// The errors told so far under --json; none otherwise.
std::vector<ErrorItem> ToldErrors(const Reporter& report);

// The trace file and the demo logger of a command that opens ports. The demo
// logger outlives the queue and the ports, which may still hold its port.
// While it runs, the environment's opener reaches it too (on Windows it lives
// in the program); the session gives the environment its own opener back.
struct PortSession {
    PortSession() = default;
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;
    ~PortSession();

    Trace* trace = nullptr; // held by the dispatcher (CommandContext::trace)
    std::unique_ptr<sim::DemoLogger> demo;
    Environment* openerOf = nullptr; // set while the opener is the demo's
    serial::TComm::DeviceOpener givenOpener;
};
// Opens --trace and starts --demo's logger; kDone, or the exit code after
// the error is told.
int OpenPortSession(const CommandContext& context, PortSession& session);

// Closes the trace after its command, which ended with `code`, and tells a
// trace that is not whole; the exit code: `code`, or 1 for such a trace after
// a command that ended with 0.
int CloseTrace(Trace& trace, const Reporter& report, int code);

// The ports to try: the demo logger's, those given, or the USB serial ports;
// nothing (told) when they cannot be listed.
std::optional<std::vector<std::string>> PortsToTry(const CommandContext& context,
                                                   const sim::DemoLogger* demo);

struct Found {
    std::unique_ptr<LoggerPort> port;
    protocol::Block reply{};
};
// Opens the port session, then finds the one logger; kDone, or the exit code
// after the error is told. `session` is declared before `queue`, to outlive it.
int FindLogger(const CommandContext& context, EventQueue& queue, PortSession& session,
               Found& found);

// The save of `target` over the block `reply`, as `write` and `provision`
// ask for it: the logger's clock (--clock, else the computer's in the
// target's time zone) taken just before the frame is built, read back unless
// --no-verify, recorded in the environment's history.
SaveRequest SaveRequestFor(const Options& options, const Environment& env,
                           const protocol::LoggerSettings& target, const protocol::Block& reply,
                           history::SaveAttempt attempt);

// "key: value" rows with the values in one column, control characters escaped.
void PrintAligned(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& rows,
                  const std::string& indent = "");

// A value as the settings file writes it, as a JSON value again: kAbsent as
// null, kHidden (a secret) as the text "(hidden)".
settingsfile::Node ValueNode(const std::string& compact);

} // namespace korvel::cli
