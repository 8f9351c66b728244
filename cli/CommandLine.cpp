#include "cli/CommandLine.h"

#include "cli/Version.h"
#include "history/SharedConfig.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <sstream>

namespace korvel::cli {

namespace {

constexpr int kUsageError = 2;
constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2099;

constexpr const char* kDescription =
    "korvel-cli: every setting of a USB temperature and humidity logger from a terminal.\n"
    "Reads and writes settings files, checks every save by reading the logger again.\n"
    "Exit codes: 0 done; 1 nothing saved (no logger, no reply, a bad frame, a value\n"
    "the logger does not take); 2 usage or settings-file error; 3 a save was sent but\n"
    "is not confirmed; 4 more than one logger answered and no --port chose one;\n"
    "5 history verify found an edited or deleted row, or not the expected head.";

} // namespace

std::string HeadHash(const std::string& text) {
    std::string hash;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return {};
        }
        hash += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return hash.size() == 64 ? hash : std::string();
}

std::optional<protocol::DateTime> ParseClock(const std::string& text) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int used = 0;
    if (text.size() != 19 ||
        std::sscanf(text.c_str(), "%4u-%2u-%2uT%2u:%2u:%2u%n", &year, &month, &day, &hour, &minute,
                    &second, &used) != 6 ||
        used != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T') {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(year)),
                                           std::chrono::month(month), std::chrono::day(day)};
    if (!date.ok() || static_cast<int>(year) < kFirstYear || static_cast<int>(year) > kLastYear ||
        hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return protocol::DateTime{static_cast<int>(year),
                              static_cast<std::uint8_t>(month),
                              static_cast<std::uint8_t>(day),
                              static_cast<std::uint8_t>(hour),
                              static_cast<std::uint8_t>(minute),
                              static_cast<std::uint8_t>(second)};
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    Options options;
    std::string clock;

    CLI::App app{kDescription, "korvel-cli"};
    app.set_version_flag("--version", "korvel-cli " + std::string(kVersion));
    app.set_help_flag("-h,--help", "show this help (after a command: that command's help)");
    app.require_subcommand(1, 1);
    // Options of every command may also come after the command's name.
    app.fallthrough();
    app.add_option("--port", options.ports,
                   "the logger's serial port; repeat it to search several (default: every USB "
                   "serial port)")
        ->type_name("PATH")
        ->allow_extra_args(false);
    app.add_flag("--demo", options.demo,
                 "use a built-in simulated logger, to try every command without hardware");
    app.add_flag("--all-ports", options.allPorts,
                 "search every serial port, not only USB ones (opening a port raises DTR)");
    app.add_option("--trace", options.trace, "write every byte sent and received to FILE")
        ->type_name("FILE");
    app.add_flag("--quiet", options.quiet, "no progress messages and no warnings");
    CLI::Option* historyPath =
        app.add_option("--history", options.historyPath,
                       "the history of saves to record in and read (default: "
                       "$XDG_DATA_HOME/korvel/history.sqlite3)")
            ->type_name("PATH");
    CLI::Option* requireHistory =
        app.add_flag("--require-history", options.requireHistory,
                     "save nothing unless the save's attempt is recorded in the history first");
    app.add_flag("--no-history", options.noHistory, "record no history of this save")
        ->excludes(historyPath)
        ->excludes(requireHistory);
    CLI::Option* sharedHistory =
        app.add_option("--shared-history", options.sharedHistory,
                       "also send the history's rows to this PostgreSQL server, a libpq "
                       "connection string or URI without a password (default: shared_history in "
                       "korvel.conf)")
            ->type_name("CONNINFO");
    app.add_flag("--no-shared-history", options.noSharedHistory,
                 "send nothing to a shared history, whatever korvel.conf says")
        ->excludes(sharedHistory);

    CLI::App* list = app.add_subcommand("list", "list the serial ports");
    list->add_flag("--probe", options.probe,
                   "ask each USB serial port whether a logger answers there");
    list->add_flag("--json", options.json, "print JSON");

    CLI::App* read = app.add_subcommand("read", "print every setting of the logger");
    CLI::Option* readJson = read->add_flag("--json", options.json, "print the settings file");
    read->add_flag("--raw", options.raw, "print the 210-byte parameter block in hex")
        ->excludes(readJson);

    CLI::App* write = app.add_subcommand(
        "write", "apply the settings in FILE to the logger, save, and read back to compare");
    write->add_option("FILE", options.file, "the settings file; - for standard input")->required();
    write->add_flag("--dry-run", options.dryRun, "show what would change; save nothing");
    write->add_flag("--no-verify", options.noVerify, "do not read the logger back after saving");
    write->add_flag("--set-serial", options.setSerial,
                    "allow the file's serial_number to rename this logger");
    write
        ->add_option("--clock", clock,
                     "the logger's local time to save, YYYY-MM-DDTHH:MM:SS (default: the "
                     "computer's UTC clock plus the logger's time zone)")
        ->type_name("T");
    write->add_flag("--json", options.json, "print the outcome as JSON");

    CLI::App* provision = app.add_subcommand(
        "provision", "give every logger found the settings in FILE, all at once, each keeping "
                     "its serial number and calibration");
    provision->add_option("FILE", options.file, "the settings file; - for standard input")
        ->required();
    provision->add_option("--expect", options.expect, "fail unless exactly N loggers are found")
        ->type_name("N")
        ->check(CLI::Range(1, 1000));
    provision
        ->add_option("--manifest", options.manifest,
                     "CSV of serial_number,trip_information: only the loggers listed are "
                     "written, each with its own trip information")
        ->type_name("CSV");
    provision
        ->add_option("--report", options.report,
                     "write one row per logger to OUT, a new .csv or .jsonl file")
        ->type_name("OUT");
    provision
        ->add_option("--operator", options.operatorName,
                     "who provisions, for the report and the history (default: the login name)")
        ->type_name("NAME");
    provision->add_flag("--watch", options.watch,
                        "stay running and provision each logger as it is plugged in");
    provision->add_flag("--allow-unsynced-clock", options.allowUnsyncedClock,
                        "provision even when the computer's clock is not synchronised");
    provision->add_flag("--json", options.json, "print one JSON object per event");

    CLI::App* check = app.add_subcommand("check", "validate a settings file without a logger");
    check->add_option("FILE", options.file, "the settings file; - for standard input")->required();

    CLI::App* history = app.add_subcommand("history", "the history of saves");
    history->require_subcommand(1, 1);
    history->fallthrough();
    CLI::App* verify = history->add_subcommand(
        "verify", "check that no row of the history was edited or deleted (exit 5 if one was)");
    std::string expectHead;
    verify
        ->add_option("--expect-head", expectHead,
                     "fail (exit 5) unless HASH, a head hash kept from an earlier verify or a "
                     "report, is still in the history: rows cut from its end show")
        ->type_name("HASH");
    verify->add_flag("--shared", options.shared,
                     "check the shared history's chain on its server instead of the local file");
    CLI::App* historyList = history->add_subcommand("list", "list the saves, newest first");
    historyList->add_flag("--shared", options.shared,
                          "list every bench's saves from the shared history's server");
    historyList->add_option("SERIAL", options.historySerial, "only this logger's saves");
    CLI::Option* historyJson = historyList->add_flag("--json", options.json, "print JSON");
    historyList->add_flag("--csv", options.csv, "print CSV")->excludes(historyJson);
    CLI::App* show = history->add_subcommand(
        "show", "print the settings one save wrote, as a settings file for write");
    show->add_option("ID", options.historyId, "the save's number, as history list shows it")
        ->required()
        ->check(CLI::PositiveNumber);

    CLI::App* sync = history->add_subcommand(
        "sync", "send the rows the shared history does not have yet, and say how many wait");

    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return "korvel-cli: " + std::string(error.what()) +
               "\nkorvel-cli: run korvel-cli --help for the commands and their options\n";
    });

    ParsedCommandLine parsed;
    std::ostringstream out;
    std::ostringstream err;
    try {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, out, err);
        parsed.exitCode = code == 0 ? 0 : kUsageError;
        parsed.out = out.str();
        parsed.err = err.str();
        return parsed;
    }

    const auto fail = [&parsed](const std::string& message) {
        parsed.exitCode = kUsageError;
        parsed.err = "korvel-cli: " + message + "\n";
        return parsed;
    };
    options.command = list->parsed()        ? Command::List
                      : read->parsed()      ? Command::Read
                      : write->parsed()     ? Command::Write
                      : provision->parsed() ? Command::Provision
                      : history->parsed()   ? Command::History
                                            : Command::Check;
    options.historyAction = verify->parsed()        ? HistoryAction::Verify
                            : historyList->parsed() ? HistoryAction::List
                            : sync->parsed()        ? HistoryAction::Sync
                                                    : HistoryAction::Show;
    if (options.command == Command::History && options.noHistory) {
        return fail("--no-history: the history commands read the history; leave it out");
    }
    if (history::ConninfoHasPassword(options.sharedHistory)) {
        return fail("--shared-history: a password on the command line is seen by every user of "
                    "this computer; leave it out and put it in libpq's password file "
                    "(~/.pgpass, %APPDATA%\\postgresql\\pgpass.conf) or a service file "
                    "(pg_service.conf)");
    }
    if (options.shared && !expectHead.empty()) {
        return fail("--expect-head checks the local history; leave out --shared");
    }
    if (options.demo && !options.ports.empty()) {
        return fail("--demo brings its own logger; leave out --port");
    }
    if (!expectHead.empty()) {
        options.expectHead = HeadHash(expectHead);
        if (options.expectHead.empty()) {
            return fail("--expect-head " + expectHead +
                        ": give the 64 hexadecimal digits of a head, as history verify prints it");
        }
    }
    if (!clock.empty()) {
        options.clock = ParseClock(clock);
        if (!options.clock) {
            return fail("--clock " + clock +
                        ": give the logger's local time as YYYY-MM-DDTHH:MM:SS, years 2000-2099");
        }
    }
    parsed.options = std::move(options);
    return parsed;
}

} // namespace korvel::cli
