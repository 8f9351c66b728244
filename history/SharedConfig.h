#pragma once
// The configuration both programs read for the shared history: `key = value`
// lines, `#` comments, in the system's file and then the user's
// (platform/ConfigFiles.h), a key in a later file overriding an earlier one.
//
//     shared_history = postgresql://korvel.example.org/korvel?sslmode=verify-full
//     bench = Packing bench 2
//
// The server is a libpq connection string or URI; its password belongs in
// libpq's password file or service file, not here.

#include "history/SharedHistory.h"
#include "platform/DataFolder.h"

#include <optional>
#include <string>
#include <vector>

namespace korvel::history {

struct SharedConfig {
    std::optional<std::string> sharedHistory; // the server; empty text turns it off
    std::optional<std::string> bench;         // the bench's name; the host name if unset
};

struct ConfigProblem {
    std::string file;
    int line = 0;
    std::string message;
};

struct ParsedConfig {
    SharedConfig config;
    std::vector<ConfigProblem> problems; // lines that were skipped, and why
};

// One file's text; `file` names it in the problems.
ParsedConfig ParseConfigText(const std::string& text, const std::string& file);

// `later`'s keys over `earlier`'s.
SharedConfig MergeConfig(SharedConfig earlier, const SharedConfig& later);

// Reads the files in order (a missing one is no problem) and merges them.
ParsedConfig LoadConfig(const std::vector<std::string>& paths);

// The system's and the user's files, merged.
ParsedConfig LoadSystemConfig(const platform::EnvironmentLookup& environment);

// The server a program sends to: `given` (a command line's) over the
// configuration's shared_history; the bench named `bench`, else `hostName`.
// Nothing when neither names a server.
std::optional<SharedTarget> SharedTargetOf(const SharedConfig& config, const std::string& given,
                                           const std::string& hostName);

// True when a connection string or URI gives a password; such a string has
// no place on a command line, where every user of the computer sees it.
bool ConninfoHasPassword(const std::string& conninfo);

} // namespace korvel::history
