#pragma once
// korvel-cli's command line, read with CLI11: the commands, their options and
// the options every command takes before or after it.

#include "protocol/LoggerSettings.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvel::cli {

enum class Command { List, Read, Write, Check, Provision, History };

enum class HistoryAction { Verify, List, Show, Sync };

struct Options {
    Command command = Command::Read;
    // Every command.
    std::vector<std::string> ports; // --port, repeatable
    bool demo = false;
    bool allPorts = false;
    std::string trace; // --trace FILE; empty for none
    bool quiet = false;
    // The history of saves: --history PATH (empty: the default place),
    // --no-history, --require-history.
    std::string historyPath;
    bool noHistory = false;
    bool requireHistory = false;
    // The shared history: --shared-history CONNINFO over the configuration
    // files' shared_history, --no-shared-history for none.
    std::string sharedHistory;
    bool noSharedHistory = false;
    // list
    bool probe = false;
    // read, write, check, list, provision, history list
    bool json = false;
    // read
    bool raw = false;
    // write, check
    std::string file; // "-" for standard input
    bool dryRun = false;
    bool noVerify = false;
    bool setSerial = false;
    std::optional<protocol::DateTime> clock; // --clock T, the logger's local time
    // provision (file, ports, json too)
    std::optional<int> expect; // --expect N
    std::string manifest;      // --manifest CSV; empty for none
    std::string report;        // --report OUT (.csv or .jsonl); empty for none
    std::string operatorName;  // --operator NAME; empty: the login name
    bool watch = false;
    bool allowUnsyncedClock = false;
    // history
    HistoryAction historyAction = HistoryAction::List;
    std::string historySerial; // history list [SERIAL]
    // history list --since TIME, --until TIME, --limit N (0: no limit)
    std::optional<std::chrono::system_clock::time_point> historySince;
    std::optional<std::chrono::system_clock::time_point> historyUntil;
    std::size_t historyLimit = 0;
    std::int64_t historyId = 0; // history show ID
    std::string expectHead;     // history verify --expect-head HASH, lower case; empty for none
    bool csv = false;           // history list --csv
    bool shared = false;        // history verify --shared, history list --shared
    bool newBenchId = false;    // history sync --new-bench-id
};

struct ParsedCommandLine {
    std::optional<Options> options; // set when the command is to run
    int exitCode = 0;               // otherwise: 0 after --help or --version, 2 after a fault
    std::string out;                // what to print on standard output (help, version)
    std::string err;                // and on standard error (the fault)
    std::string fault;              // the fault alone, for a script's JSON
    bool json = false;              // --json was asked for, so a fault is told as JSON too
};

// `arguments` exclude the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// A row hash as the history writes it (64 hex digits, lower case), from the
// user's text in either case; empty when it is none.
std::string HeadHash(const std::string& text);

// "YYYY-MM-DDTHH:MM:SS", a real calendar date in 2000-2099; nothing otherwise.
std::optional<protocol::DateTime> ParseClock(const std::string& text);

} // namespace korvel::cli
