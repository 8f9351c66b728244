#pragma once
// The history of saves on the command line: which file the options choose,
// the `history` commands that read it, and the rows a save writes into it.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "history/HistoryStore.h"
#include "protocol/ParameterBlock.h"

#include <memory>
#include <string>

namespace korvel::cli {

// Runs one command with the history its options choose: opened for the
// commands that save (a file that cannot be opened warns, or, with
// --require-history, stops the command with exit 1) and for `history`.
// `env.history` points to it while the command runs. --demo records only in
// a history named with --history. The program's main.
int RunWithHistory(const Options& options, Environment& env);

} // namespace korvel::cli
