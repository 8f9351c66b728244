#pragma once
// The history of saves on the command line: the step the dispatcher runs
// before a command to open the file its options choose, and the `history`
// command (RunHistoryCommand, Command.h) that reads it.

#include "cli/CommandLine.h"
#include "cli/Environment.h"
#include "history/HistoryStore.h"
#include "history/SharedHistory.h"

#include <memory>

namespace korvel::cli {

// What a command needs of the history.
enum class HistoryUse {
    None,    // nothing
    Records, // its saves are recorded (not a dry run): opened unless --no-history or --demo
    Reads,   // `history`: the file must exist and open; it is never created
};

// Opens the history `use` asks for into `store`. A file that cannot be opened
// warns, or, with --require-history or for `history`, stops the command:
// kDone, or the exit code after the error is told. --demo records only in a
// history named with --history.
int OpenHistory(const Options& options, const Reporter& report, HistoryUse use,
                std::unique_ptr<history::HistoryStore>& store);

// The shared history that --shared-history, --no-shared-history and the
// configuration files choose; nothing when none is. The files' faulty lines
// are warned about.
std::optional<history::SharedTarget> SharedTargetFor(const Options& options, const Environment& env,
                                                     const Reporter& report);

// After a command that recorded saves: the one warning when the shared
// history could not take them, and how many rows wait.
void ReportPush(const history::PushReport& push, const std::string& path, const Reporter& report);

} // namespace korvel::cli
