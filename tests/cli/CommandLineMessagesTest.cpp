// korvel-cli's command line in its own words: every mistake is said as what is
// wrong, with the nearest command or option when one is near, and points to
// the help that shows it right; never a text of the parser library's own.
#include "cli/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvel::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : line + " ") {
        if (c != ' ') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

TEST(CommandLineMessages, MistakesAreToldInTheToolsWords) {
    struct Case {
        const char* line;
        const char* message; // the first line, after "korvel-cli: "
        const char* help;    // the command whose --help is pointed to; "" for the program's
    };
    const Case cases[] = {
        {"--demo reed", "unknown command 'reed'; did you mean 'read'?", ""},
        {"READ", "unknown command 'READ'; did you mean 'read'?", ""},
        {"wirte x.json", "unknown command 'wirte'; did you mean 'write'?", ""},
        {"prov x.json", "unknown command 'prov'; did you mean 'provision'?", ""},
        {"set",
         "unknown command 'set'; the commands: list, read, write, provision, check, history "
         "or help",
         ""},
        {"", "no command given; the commands: list, read, write, provision, check, history or help",
         ""},
        {"-V", "unknown option '-V'; did you mean '--version'?", ""},
        {"-p /dev/ttyS0 read", "unknown option '-p'; did you mean '--port'?", ""},
        {"read --jsn", "unknown option '--jsn'; did you mean '--json'?", "read"},
        {"read --portt /dev/ttyS0", "unknown option '--portt'; did you mean '--port'?", "read"},
        {"read --frobnicate", "unknown option '--frobnicate'", "read"},
        {"read --probe", "--probe is an option of list, not of read", "read"},
        {"--raw read",
         "--raw is an option of read, not of korvel-cli before a command: give it after the "
         "command's name",
         ""},
        {"--trace= read",
         "--trace needs a value: the new file to write the trace to, or - for standard error", ""},
        {"read --trace",
         "--trace needs a value: the new file to write the trace to, or - for "
         "standard error",
         "read"},
        {"--port", "--port needs a value: the logger's serial port, e.g. /dev/ttyUSB0", ""},
        {"read --port --json", "--port needs a value: the logger's serial port, e.g. /dev/ttyUSB0",
         "read"},
        {"--quiet=yes read", "--quiet takes no value; give it alone", ""},
        {"read extra", "unexpected argument 'extra'; read takes no arguments", "read"},
        {"check a.json b.json",
         "unexpected argument 'b.json'; check takes one, FILE (the settings file; - for standard "
         "input)",
         "check"},
        {"write", "write needs FILE (the settings file; - for standard input)", "write"},
        {"history", "history needs one of verify, list, show or sync", "history"},
        {"history shwo 3", "unknown history command 'shwo'; did you mean 'show'?", "history"},
        {"history show abc", "the save id must be a whole number, not 'abc'", "history show"},
        {"history show -- -1", "the save id must be a whole number, not '-1'", "history show"},
        {"history show 1e3", "the save id must be a whole number, not '1e3'", "history show"},
        {"history show 99999999999999999999999",
         "no save has the id 99999999999999999999999; history list shows them", "history show"},
        {"provision x.json --expect 0", "--expect must be a whole number from 1 to 1000, not '0'",
         "provision"},
        {"read --raw --json", "--raw and --json cannot be given together; choose one", "read"},
        {"history list --csv --json", "--csv and --json cannot be given together; choose one",
         "history list"},
        {"history list --since yesterday",
         "--since yesterday: give a UTC time as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ",
         "history list"},
        {"history list --limit 0", "--limit 0: give a whole number of saves, 1 or more",
         "history list"},
        {"--demo --port /dev/ttyS0 read",
         "--demo and --port cannot be given together; choose one (--demo brings its own logger)",
         "read"},
        {"provision - --manifest -",
         "--manifest - and FILE - both read standard input; give one of them as a file",
         "provision"},
        {"help reed", "unknown command 'reed'; did you mean 'read'?", ""},
        {"help history shwo", "unknown history command 'shwo'; did you mean 'show'?", "history"},
        {"help read more", "unexpected argument 'more'; help takes a command", "read"},
        {"--demo -- read", "-- ends the options: give the command before it", ""},
    };
    for (const Case& c : cases) {
        const ParsedCommandLine parsed = ParseCommandLine(Words(c.line));
        const std::string help = std::string(c.help).empty()
                                     ? "--help for the commands and their options"
                                     : std::string(c.help) + " --help for its options";
        EXPECT_FALSE(parsed.options) << c.line;
        EXPECT_EQ(parsed.exitCode, 2) << c.line;
        EXPECT_EQ(parsed.out, "") << c.line;
        EXPECT_EQ(parsed.err, "korvel-cli: " + std::string(c.message) +
                                  "\nkorvel-cli: run korvel-cli " + help + "\n")
            << c.line;
    }
}

// Every pair of these words: whatever the parser refuses is told by the walk
// over its table, never by the fallback or a text of the parser library's own.
TEST(CommandLineMessages, NoPairOfWordsReachesTheParsersOwnTexts) {
    const std::vector<std::string> words{
        "read",  "write", "history", "show", "list", "x.json",   "-",       "--port",  "/dev/ttyS0",
        "--raw", "--",    "abc",     "-q",   "help", "--trace=", "--probe", "--clock", "--csv"};
    for (const std::string& first : words) {
        for (const std::string& second : words) {
            for (const auto& line : {std::vector<std::string>{first, second},
                                     std::vector<std::string>{"--demo", first, second}}) {
                const ParsedCommandLine parsed = ParseCommandLine(line);
                if (parsed.options || parsed.exitCode == 0) {
                    continue;
                }
                const std::string said = first + " " + second;
                EXPECT_THAT(parsed.err, Not(HasSubstr("cannot be read"))) << said;
                EXPECT_THAT(parsed.err, ::testing::MatchesRegex("korvel-cli: [^\n]+\n"
                                                                "korvel-cli: run korvel-cli [^\n]*"
                                                                "--help for [^\n]+\n"))
                    << said;
            }
        }
    }
}

TEST(CommandLineMessages, ShortQuietAndArgumentsAfterDoubleDash) {
    const ParsedCommandLine quiet = ParseCommandLine(Words("-q --demo read"));
    ASSERT_TRUE(quiet.options) << quiet.err;
    EXPECT_TRUE(quiet.options->quiet);
    const ParsedCommandLine dashed = ParseCommandLine(Words("check -- -odd.json"));
    ASSERT_TRUE(dashed.options) << dashed.err;
    EXPECT_EQ(dashed.options->file, "-odd.json");
    const ParsedCommandLine stdinFile = ParseCommandLine(Words("--trace - provision - --expect 3"));
    ASSERT_TRUE(stdinFile.options) << stdinFile.err;
    EXPECT_EQ(stdinFile.options->trace, "-");
    EXPECT_EQ(stdinFile.options->file, "-");
    EXPECT_EQ(stdinFile.options->expect, 3);
    const ParsedCommandLine show = ParseCommandLine(Words("history show 42"));
    ASSERT_TRUE(show.options) << show.err;
    EXPECT_EQ(show.options->historyId, 42);
}

// A script that asked for JSON is told of a mistake on the line in its JSON
// too (cli/main.cpp prints the fault as the outcome object); a file named
// "--json" after "--" asks for nothing.
TEST(CommandLineMessages, AMistakeUnderJsonCarriesItsFaultForTheOutcomeObject) {
    const ParsedCommandLine asked = ParseCommandLine(Words("reed --json"));
    EXPECT_FALSE(asked.options);
    EXPECT_TRUE(asked.json);
    EXPECT_EQ(asked.fault, "unknown command 'reed'; did you mean 'read'?");

    const ParsedCommandLine named = ParseCommandLine(Words("write --bogus -- --json"));
    EXPECT_FALSE(named.options);
    EXPECT_FALSE(named.json);
}

TEST(CommandLineMessages, HelpCommandIsTheCommandsHelp) {
    for (const char* command : {"read", "write", "provision", "history show", "history"}) {
        const ParsedCommandLine asked = ParseCommandLine(Words(std::string("help ") + command));
        const ParsedCommandLine flag = ParseCommandLine(Words(std::string(command) + " --help"));
        EXPECT_EQ(asked.exitCode, 0) << command;
        EXPECT_EQ(asked.err, "") << command;
        EXPECT_EQ(asked.out, flag.out) << command;
        EXPECT_THAT(asked.out, HasSubstr("Usage: korvel-cli " + std::string(command))) << command;
        // The options every command takes are in each command's help.
        EXPECT_THAT(asked.out, HasSubstr("Options of every command:")) << command;
        EXPECT_THAT(asked.out, HasSubstr("-q,--quiet")) << command;
        EXPECT_THAT(asked.out, HasSubstr("--port PATH")) << command;
    }
    const ParsedCommandLine all = ParseCommandLine(Words("help"));
    EXPECT_EQ(all.out, ParseCommandLine(Words("--help")).out);
    EXPECT_THAT(all.out, HasSubstr("Commands:\n  list"));
    EXPECT_THAT(all.out, Not(HasSubstr("Subcommand")));
    EXPECT_THAT(ParseCommandLine(Words("read --help")).out, HasSubstr("  --raw"));
}

} // namespace
} // namespace korvel::cli
