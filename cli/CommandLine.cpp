#include "cli/CommandLine.h"

#include "cli/Version.h"
#include "history/HistoryStore.h"
#include "history/SharedConfig.h"
#include "protocol/Frame.h"
#include "protocol/Suggest.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include <cctype>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>
#include <map>
#include <sstream>
#include <tuple>

namespace korvel::cli {

namespace {

constexpr int kUsageError = 2;
constexpr int kMostLoggers = 1000; // --expect

constexpr const char* kDescription =
    "korvel-cli: every setting of a USB temperature and humidity logger from a terminal.\n"
    "Reads and writes settings files, checks every save by reading the logger again.\n"
    "Exit codes: 0 done; 1 nothing saved (no logger, no reply, a bad frame, a value\n"
    "the logger does not take); 2 usage or settings-file error; 3 a save was sent but\n"
    "is not confirmed; 4 more than one logger answered and no --port chose one;\n"
    "5 history verify found an edited or deleted row, or not the expected head.";

// The options of every command, shown in each command's help after its own.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() {
        label("SUBCOMMAND", "COMMAND");
        label("REQUIRED", "");
        label("Positionals", "Arguments");
    }

    std::string make_footer(const CLI::App* app) const override {
        std::string text;
        const CLI::App* root = app;
        while (root->get_parent() != nullptr) {
            root = root->get_parent();
        }
        if (root != app) {
            std::vector<const CLI::Option*> common =
                root->get_options([root](const CLI::Option* o) {
                    return o->nonpositional() && o != root->get_help_ptr() &&
                           o != root->get_version_ptr();
                });
            // make_group starts with a blank line, and make_help has just written one.
            text = make_group("Options of every command", false, common).substr(1) + "\n";
        }
        return text + CLI::Formatter::make_footer(app);
    }
};

// "history show" for that command, "" for the program itself.
std::string CommandPath(const CLI::App* app) {
    std::string path;
    for (; app->get_parent() != nullptr; app = app->get_parent()) {
        path = path.empty() ? app->get_name() : app->get_name() + " " + path;
    }
    return path;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// "a", "a or b", "a, b or c" (or "and").
std::string Alternatives(const std::vector<std::string>& words, const std::string& last = "or") {
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == words.size() ? " " + last + " " : ", ") + words[i];
    }
    return text;
}

// What the user got wrong and the help that shows it right.
struct Mistake {
    std::string message;
    const CLI::App* helpOf; // whose --help to point to
};

// The walk over the arguments: the first mistake, the command whose help
// `help COMMAND` asked for, or neither, when CLI11 may parse them.
struct Walk {
    std::optional<Mistake> mistake;
    const CLI::App* help = nullptr;
};

class Grammar {
public:
    explicit Grammar(const CLI::App& root) : root_(root) {}

    // What the value of each option that takes one is, for "--port needs a value: ...".
    void Needs(const std::string& option, const std::string& what) { needs_[option] = what; }

    Walk Check(const std::vector<std::string>& arguments) const {
        const CLI::App* at = &root_;
        const CLI::App* helping = nullptr; // after the word `help`: the command it names
        std::size_t positionals = 0;
        bool ended = false; // by --
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const std::string& argument = arguments[i];
            if (argument == "--" && !ended) {
                if (HasSubcommands(at) || helping != nullptr) {
                    return {Mistake{"-- ends the options: give the command before it", at}};
                }
                ended = true; // what follows are arguments, even when they begin with -
                continue;
            }
            if (!ended && argument.size() > 1 && argument[0] == '-') {
                const bool isLong = argument[1] == '-';
                const std::size_t equals = argument.find('=');
                const std::string name = argument.substr(0, isLong ? equals : 2);
                const CLI::Option* option = Find(at, name);
                if (option == nullptr) {
                    return {Unknown(at, name)};
                }
                if (option == root_.get_help_ptr() || option == root_.get_version_ptr() ||
                    option->get_name() == "--help") {
                    return {}; // CLI11 shows them
                }
                const bool takesValue = option->get_expected_min() > 0;
                const bool attached = isLong ? equals != std::string::npos : argument.size() > 2;
                if (!takesValue) {
                    if (attached) {
                        return {Mistake{name + " takes no value; give it alone", at}};
                    }
                    continue;
                }
                const std::string value = attached ? argument.substr(isLong ? equals + 1 : 2)
                                          : i + 1 < arguments.size() ? arguments[i + 1]
                                                                     : std::string();
                const bool missing =
                    value.empty() || (!attached && value.size() > 1 && value[0] == '-');
                if (missing) {
                    return {NeedsValue(at, name)};
                }
                i += attached ? 0 : 1;
                continue;
            }
            if (helping != nullptr) {
                if (!HasSubcommands(helping)) {
                    return {Mistake{"unexpected argument " + Quoted(argument) +
                                        "; help takes a command",
                                    helping}};
                }
                const CLI::App* sub = Subcommand(helping, argument);
                if (sub == nullptr) {
                    return {NotACommand(helping, argument)};
                }
                helping = sub;
                continue;
            }
            if (at == &root_ && argument == "help") {
                helping = &root_;
                continue;
            }
            if (HasSubcommands(at)) {
                const CLI::App* sub = Subcommand(at, argument);
                if (sub == nullptr) {
                    return {NotACommand(at, argument)};
                }
                at = sub;
                positionals = 0;
                continue;
            }
            const std::vector<const CLI::Option*> wanted = Positionals(at);
            if (positionals >= wanted.size()) {
                return {Mistake{"unexpected argument " + Quoted(argument) + "; " + CommandPath(at) +
                                    (wanted.empty() ? " takes no arguments"
                                                    : " takes one, " + Describe(wanted.front())),
                                at}};
            }
            ++positionals;
        }
        if (helping != nullptr) {
            return {std::nullopt, helping};
        }
        if (at == &root_) {
            return {Mistake{"no command given; the commands: " + Alternatives(Names(at)), at}};
        }
        if (HasSubcommands(at)) {
            return {Mistake{CommandPath(at) + " needs one of " + Alternatives(Names(at)), at}};
        }
        const std::vector<const CLI::Option*> wanted = Positionals(at);
        if (positionals < wanted.size() && wanted[positionals]->get_required()) {
            return {Mistake{CommandPath(at) + " needs " + Describe(wanted[positionals]), at}};
        }
        return {};
    }

private:
    static bool HasSubcommands(const CLI::App* app) {
        return !app->get_subcommands([](const CLI::App*) { return true; }).empty();
    }

    static std::vector<std::string> Names(const CLI::App* app) {
        std::vector<std::string> names;
        for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; })) {
            names.push_back(sub->get_name());
        }
        return names;
    }

    static const CLI::App* Subcommand(const CLI::App* app, const std::string& name) {
        for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; })) {
            if (sub->get_name() == name) {
                return sub;
            }
        }
        return nullptr;
    }

    static std::vector<const CLI::Option*> Positionals(const CLI::App* app) {
        return app->get_options([](const CLI::Option* o) { return !o->nonpositional(); });
    }

    // "FILE (the settings file; - for standard input)"
    static std::string Describe(const CLI::Option* positional) {
        return positional->get_name(true) + " (" + positional->get_description() + ")";
    }

    // The options `at` takes: its own, then those of the commands above it.
    static std::vector<const CLI::Option*> Applicable(const CLI::App* at) {
        std::vector<const CLI::Option*> options;
        for (const CLI::App* app = at; app != nullptr; app = app->get_parent()) {
            for (const CLI::Option* o :
                 app->get_options([](const CLI::Option* o) { return o->nonpositional(); })) {
                options.push_back(o);
            }
        }
        return options;
    }

    static bool Named(const CLI::Option* option, const std::string& name) {
        for (const std::string& l : option->get_lnames()) {
            if (name == "--" + l) {
                return true;
            }
        }
        for (const std::string& s : option->get_snames()) {
            if (name == "-" + s) {
                return true;
            }
        }
        return false;
    }

    static const CLI::Option* Find(const CLI::App* at, const std::string& name) {
        for (const CLI::Option* option : Applicable(at)) {
            if (Named(option, name)) {
                return option;
            }
        }
        return nullptr;
    }

    // The commands, anywhere below the root, that take the option.
    std::vector<std::string> Owners(const std::string& name) const {
        std::vector<std::string> owners;
        std::vector<const CLI::App*> pending{&root_};
        while (!pending.empty()) {
            const CLI::App* app = pending.front();
            pending.erase(pending.begin());
            for (const CLI::Option* o : app->get_options()) {
                if (app != &root_ && Named(o, name)) {
                    owners.push_back(CommandPath(app));
                }
            }
            for (const CLI::App* sub : app->get_subcommands([](const CLI::App*) { return true; })) {
                pending.push_back(sub);
            }
        }
        return owners;
    }

    Mistake Unknown(const CLI::App* at, const std::string& name) const {
        const std::string where =
            at == &root_ ? "of korvel-cli before a command" : "of " + CommandPath(at);
        if (const std::vector<std::string> owners = Owners(name); !owners.empty()) {
            return {name + " is an option of " + Alternatives(owners, "and") + ", not " + where +
                        (at == &root_ ? ": give it after the command's name" : ""),
                    at};
        }
        std::vector<std::string> names;
        for (const CLI::Option* option : Applicable(at)) {
            for (const std::string& l : option->get_lnames()) {
                names.push_back(l);
            }
        }
        // "-p" is looked for as the beginning of a long name too.
        const std::string word = name.substr(name.rfind('-') == 1 && name.size() > 2 ? 2 : 1);
        std::string message = "unknown option " + Quoted(name);
        if (const auto nearest = protocol::NearestWord(word, names)) {
            message += "; did you mean " + Quoted("--" + *nearest) + "?";
        }
        return {message, at};
    }

    Mistake NeedsValue(const CLI::App* at, const std::string& name) const {
        const auto what = needs_.find(name);
        return {name + " needs a value" + (what == needs_.end() ? "" : ": " + what->second), at};
    }

    static Mistake NotACommand(const CLI::App* at, const std::string& word) {
        const std::string kind =
            at->get_parent() == nullptr ? "command" : CommandPath(at) + " command";
        std::string message = "unknown " + kind + " " + Quoted(word);
        if (const auto nearest = protocol::NearestWord(word, Names(at))) {
            message += "; did you mean " + Quoted(*nearest) + "?";
        } else {
            message += "; the " + kind + "s: " + Alternatives(Names(at));
        }
        return {message, at};
    }

    const CLI::App& root_;
    std::map<std::string, std::string> needs_;
};

// The message in korvel-cli's words and where to read more.
std::string UsageText(const std::string& message, const CLI::App* helpOf) {
    const std::string path = helpOf == nullptr ? "" : CommandPath(helpOf);
    return "korvel-cli: " + message + "\nkorvel-cli: run korvel-cli " +
           (path.empty() ? "--help for the commands and their options"
                         : path + " --help for its options") +
           "\n";
}

// A whole number in [low, high] written in decimal digits only.
std::optional<std::int64_t> WholeNumber(const std::string& text, std::int64_t low,
                                        std::int64_t high) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ||
        error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

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
    if (!date.ok() || static_cast<int>(year) < protocol::value::kYearBase ||
        static_cast<int>(year) > protocol::value::kYearLast || hour > 23 || minute > 59 ||
        second > 59) {
        return std::nullopt;
    }
    return protocol::DateTime{static_cast<int>(year),
                              static_cast<std::uint8_t>(month),
                              static_cast<std::uint8_t>(day),
                              static_cast<std::uint8_t>(hour),
                              static_cast<std::uint8_t>(minute),
                              static_cast<std::uint8_t>(second)};
}

namespace {

// A day (its midnight), or a time to the second or millisecond, in UTC.
std::optional<std::chrono::system_clock::time_point> ParseListTime(std::string text) {
    if (text.size() == 10) {
        text += "T00:00:00.000Z";
    } else if (text.size() == 20 && text.back() == 'Z') {
        text.insert(19, ".000");
    }
    return history::ParseUtcText(text);
}

} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    Options options;
    std::string clock;
    std::string expect;
    std::string historyId;
    std::string expectHead;
    std::string since;
    std::string until;
    std::string limit;

    CLI::App app{kDescription, "korvel-cli"};
    Grammar grammar(app);
    // Before the commands, which take their formatter from the program.
    app.formatter(std::make_shared<HelpFormatter>());
    app.set_version_flag("--version", "korvel-cli " + std::string(kVersion), "print the version");
    app.set_help_flag("-h,--help", "show this help (after a command: that command's help)");
    app.footer("Run korvel-cli help COMMAND (or korvel-cli COMMAND --help) for a command's "
               "options.");
    // Options of every command may also come after the command's name.
    app.fallthrough();
    app.add_option("--port", options.ports,
                   "the logger's serial port; repeat it to search several (default: every USB "
                   "serial port)")
        ->type_name("PATH")
        ->allow_extra_args(false);
    grammar.Needs("--port", "the logger's serial port, e.g. /dev/ttyUSB0");
    app.add_flag("--demo", options.demo,
                 "use a built-in simulated logger, to try every command without hardware; each "
                 "run starts a fresh one");
    app.add_flag("--all-ports", options.allPorts,
                 "search every serial port, not only USB ones (opening a port raises DTR)");
    app.add_option("--trace", options.trace,
                   "write every byte sent and received to FILE, a new file; - for standard error")
        ->type_name("FILE");
    grammar.Needs("--trace", "the new file to write the trace to, or - for standard error");
    app.add_flag("-q,--quiet", options.quiet, "no progress messages and no warnings");
    app.add_option("--history", options.historyPath,
                   "the history of saves to record in and read (default: "
                   "$XDG_DATA_HOME/korvel/history.sqlite3)")
        ->type_name("PATH");
    grammar.Needs("--history", "the history file, e.g. ~/korvel-history.sqlite3");
    app.add_flag("--require-history", options.requireHistory,
                 "save nothing unless the save's attempt is recorded in the history first");
    app.add_flag("--no-history", options.noHistory, "record no history of this save");
    app.add_option("--shared-history", options.sharedHistory,
                   "also send the history's rows to this PostgreSQL server, a libpq "
                   "connection string or URI without a password (default: shared_history in "
                   "korvel.conf)")
        ->type_name("CONNINFO");
    grammar.Needs("--shared-history",
                  "a libpq connection string or URI, e.g. postgresql://history.example/korvel");
    app.add_flag("--no-shared-history", options.noSharedHistory,
                 "send nothing to a shared history, whatever korvel.conf says");

    CLI::App* list = app.add_subcommand("list", "list the serial ports");
    list->add_flag("--probe", options.probe,
                   "ask each USB serial port whether a logger answers there");
    list->add_flag("--json", options.json, "print JSON");

    CLI::App* read = app.add_subcommand("read", "print every setting of the logger");
    read->add_flag("--json", options.json, "print the settings file");
    read->add_flag("--raw", options.raw, "print the 210-byte parameter block in hex");

    CLI::App* write = app.add_subcommand(
        "write", "apply the settings in FILE to the logger, save, and read back to compare");
    write->add_option("FILE", options.file, "the settings file; - for standard input")
        ->type_name("")
        ->required();
    write->add_flag("--dry-run", options.dryRun, "show what would change; save nothing");
    write->add_flag("--no-verify", options.noVerify, "do not read the logger back after saving");
    write->add_flag("--set-serial", options.setSerial,
                    "allow the file's serial_number to rename this logger");
    write
        ->add_option("--clock", clock,
                     "the logger's local time to save, YYYY-MM-DDTHH:MM:SS (default: the "
                     "computer's UTC clock plus the logger's time zone)")
        ->type_name("T");
    grammar.Needs("--clock", "the logger's local time, e.g. 2025-06-01T12:00:00");
    write->add_flag("--json", options.json, "print the outcome as JSON");

    CLI::App* provision = app.add_subcommand(
        "provision", "give every logger found the settings in FILE, all at once, each keeping "
                     "its serial number and calibration");
    provision->add_option("FILE", options.file, "the settings file; - for standard input")
        ->type_name("")
        ->required();
    provision->add_option("--expect", expect, "fail unless exactly N loggers are found")
        ->type_name("N");
    grammar.Needs("--expect", "how many loggers are to be found, 1 to 1000");
    provision
        ->add_option("--manifest", options.manifest,
                     "CSV of serial_number,trip_information: only the loggers listed are "
                     "written, each with its own trip information; - for standard input")
        ->type_name("CSV");
    grammar.Needs("--manifest", "the manifest's CSV file, or - for standard input");
    provision
        ->add_option("--report", options.report,
                     "write one row per logger to OUT, a new .csv or .jsonl file")
        ->type_name("OUT");
    grammar.Needs("--report", "a new .csv or .jsonl file");
    provision
        ->add_option("--operator", options.operatorName,
                     "who provisions, for the report and the history (default: the login name)")
        ->type_name("NAME");
    grammar.Needs("--operator", "who provisions, e.g. --operator \"Ana Silva\"");
    provision->add_flag("--watch", options.watch,
                        "stay running and provision each logger as it is plugged in");
    provision->add_flag("--allow-unsynced-clock", options.allowUnsyncedClock,
                        "provision even when the computer's clock is not synchronised");
    provision->add_flag("--json", options.json, "print one JSON object per event");

    CLI::App* check = app.add_subcommand("check", "validate a settings file without a logger");
    check->add_option("FILE", options.file, "the settings file; - for standard input")
        ->type_name("")
        ->required();
    check->add_flag("--json", options.json, "print the outcome as JSON");

    CLI::App* history = app.add_subcommand("history", "the history of saves");
    history->require_subcommand(1, 1);
    history->fallthrough();
    CLI::App* verify = history->add_subcommand(
        "verify", "check that no row of the history was edited or deleted (exit 5 if one was)");
    verify
        ->add_option("--expect-head", expectHead,
                     "fail (exit 5) unless HASH, a head hash kept from an earlier verify or a "
                     "report, is still in the history: rows cut from its end show")
        ->type_name("HASH");
    grammar.Needs("--expect-head", "a head hash as history verify prints it");
    verify->add_flag("--shared", options.shared,
                     "check the shared history's chain on its server instead of the local file");
    CLI::App* historyList = history->add_subcommand("list", "list the saves, newest first");
    historyList->add_flag("--shared", options.shared,
                          "list every bench's saves from the shared history's server");
    historyList->add_option("SERIAL", options.historySerial, "only this logger's saves")
        ->type_name("");
    historyList->add_option("--since", since, "only saves at or after TIME (UTC)")
        ->type_name("TIME");
    historyList->add_option("--until", until, "only saves before TIME (UTC)")->type_name("TIME");
    historyList->add_option("--limit", limit, "at most N saves, the newest")->type_name("N");
    grammar.Needs("--since", "a UTC time, YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ");
    grammar.Needs("--until", "a UTC time, YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ");
    grammar.Needs("--limit", "how many saves at most");
    historyList->add_flag("--json", options.json, "print JSON");
    historyList->add_flag("--csv", options.csv, "print CSV");
    CLI::App* show = history->add_subcommand(
        "show", "print the settings one save wrote, as a settings file for write");
    show->add_option("ID", historyId, "the save's number, as history list shows it")
        ->required()
        ->type_name("");

    CLI::App* sync = history->add_subcommand(
        "sync", "send the rows the shared history does not have yet, and say how many wait");
    sync->add_flag("--new-bench-id", options.newBenchId,
                   "first give this history file a new bench id for the rows the server has "
                   "not acknowledged (after a conflict: a copied file)");

    app.add_subcommand("help", "the commands, or one command's options: help COMMAND");
    for (CLI::App* parent : {static_cast<CLI::App*>(&app), history}) {
        for (CLI::App* sub : parent->get_subcommands([](CLI::App*) { return true; })) {
            sub->group("Commands");
        }
    }
    app.require_subcommand(1, 1);

    ParsedCommandLine parsed;
    const auto fail = [&parsed, &arguments](const std::string& message, const CLI::App* helpOf) {
        parsed.exitCode = kUsageError;
        parsed.err = UsageText(message, helpOf);
        parsed.fault = message;
        // Only before "--": after it, "--json" would be a file's name.
        const auto end = std::find(arguments.begin(), arguments.end(), "--");
        parsed.json = std::find(arguments.begin(), end, "--json") != end;
        return parsed;
    };
    const Walk walk = grammar.Check(arguments);
    if (walk.mistake) {
        return fail(walk.mistake->message, walk.mistake->helpOf);
    }
    if (walk.help != nullptr) {
        const CLI::App* parent = walk.help->get_parent();
        parsed.out =
            parent == nullptr
                ? app.help()
                : walk.help->help("korvel-cli" +
                                  (parent == &app ? std::string() : " " + CommandPath(parent)));
        return parsed;
    }
    std::ostringstream out;
    std::ostringstream err;
    try {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.out = app.help();
        return parsed;
    } catch (const CLI::CallForVersion&) {
        parsed.out = app.version() + "\n";
        return parsed;
    } catch (const CLI::ParseError&) {
        // The walk above finds every mistake the grammar allows; a text of
        // CLI11's own would not be in korvel-cli's words.
        return fail("the command line cannot be read", nullptr);
    }

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
    const CLI::App* command = verify->parsed()        ? verify
                              : historyList->parsed() ? historyList
                              : show->parsed()        ? show
                              : sync->parsed()        ? sync
                              : list->parsed()        ? list
                              : read->parsed()        ? read
                              : write->parsed()       ? write
                              : provision->parsed()   ? provision
                                                      : check;
    const auto both = [&](bool a, bool b, const std::string& first, const std::string& second) {
        return a && b ? std::optional<std::string>(first + " and " + second +
                                                   " cannot be given together; choose one")
                      : std::nullopt;
    };
    for (const auto& clash :
         {both(options.raw, options.json, "--raw", "--json"),
          both(options.csv, options.json, "--csv", "--json"),
          both(options.noHistory, !options.historyPath.empty(), "--no-history", "--history"),
          both(options.noHistory, options.requireHistory, "--no-history", "--require-history"),
          both(options.noSharedHistory, !options.sharedHistory.empty(), "--no-shared-history",
               "--shared-history"),
          both(options.demo, !options.ports.empty(), "--demo", "--port")}) {
        if (clash) {
            return fail(*clash + (options.demo && !options.ports.empty()
                                      ? " (--demo brings its own logger)"
                                      : ""),
                        command);
        }
    }
    if (history::ConninfoHasPassword(options.sharedHistory)) {
        return fail("--shared-history: a password on the command line is seen by every user of "
                    "this computer; leave it out and put it in libpq's password file "
                    "(~/.pgpass, %APPDATA%\\postgresql\\pgpass.conf) or a service file "
                    "(pg_service.conf)",
                    command);
    }
    if (options.command == Command::History && options.noHistory) {
        return fail("--no-history: the history commands read the history; leave it out", command);
    }
    if (options.manifest == "-" && options.file == "-") {
        return fail("--manifest - and FILE - both read standard input; give one of them as a file",
                    command);
    }
    if (!expect.empty()) {
        const auto count = WholeNumber(expect, 1, kMostLoggers);
        if (!count) {
            return fail("--expect must be a whole number from 1 to " +
                            std::to_string(kMostLoggers) + ", not " + Quoted(expect),
                        command);
        }
        options.expect = static_cast<int>(*count);
    }
    if (show->parsed()) {
        const auto id = WholeNumber(historyId, 1, std::numeric_limits<std::int64_t>::max());
        if (!id) {
            const bool digits = !historyId.empty() &&
                                historyId.find_first_not_of("0123456789") == std::string::npos;
            return fail(digits ? "no save has the id " + historyId + "; history list shows them"
                               : "the save id must be a whole number, not " + Quoted(historyId),
                        command);
        }
        options.historyId = *id;
    }
    for (const auto& [name, text, time] : {std::tuple{"--since", &since, &options.historySince},
                                           std::tuple{"--until", &until, &options.historyUntil}}) {
        if (!text->empty()) {
            *time = ParseListTime(*text);
            if (!*time) {
                return fail(std::string(name) + " " + *text +
                                ": give a UTC time as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ",
                            command);
            }
        }
    }
    if (!limit.empty()) {
        const auto count = WholeNumber(limit, 1, std::numeric_limits<std::int64_t>::max());
        if (!count) {
            return fail("--limit " + limit + ": give a whole number of saves, 1 or more", command);
        }
        options.historyLimit = static_cast<std::size_t>(*count);
    }
    if (!expectHead.empty()) {
        options.expectHead = HeadHash(expectHead);
        if (options.expectHead.empty()) {
            return fail("--expect-head " + expectHead +
                            ": give the 64 hexadecimal digits of a head, as history verify "
                            "prints it",
                        command);
        }
    }
    if (!clock.empty()) {
        options.clock = ParseClock(clock);
        if (!options.clock) {
            return fail("--clock " + clock +
                            ": give the logger's local time as YYYY-MM-DDTHH:MM:SS, years " +
                            std::to_string(protocol::value::kYearBase) + "-" +
                            std::to_string(protocol::value::kYearLast),
                        command);
        }
    }
    parsed.options = std::move(options);
    return parsed;
}

} // namespace korvel::cli
