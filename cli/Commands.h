#pragma once
// korvel-cli's dispatcher: finds the command in its table, runs the history
// step the command needs, then the command (one file each, Command.h).

#include "cli/CommandLine.h"
#include "cli/Environment.h"

namespace korvel::cli {

// Runs one command with the history its options choose: opened for the
// commands that save and for `history`; `env.history` points to it while the
// command runs. The program's main. Returns the exit code.
int RunWithHistory(const Options& options, Environment& env);

// Runs one command with `env.history` as given (tests hand in their own);
// only `history` opens its file.
int Run(const Options& options, Environment& env);

} // namespace korvel::cli
