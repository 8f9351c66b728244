// What --json gives a script: one object on standard output, failures
// included, each starting with its format version; warnings on standard error.
#include "CliFixture.h"
#include "tests/support/ScratchFiles.h"

#include "cli/Environment.h"
#include "settingsfile/JsonTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace korvel::cli {
namespace {

using korvel::testing::Cli;
using korvel::testing::CliRun;
using korvel::testing::Logger;
using settingsfile::Node;
using ::testing::HasSubstr;
using ::testing::Not;

// The one JSON value of `out`, which must start with "format_version": 1.
Node versioned(const std::string& out) {
    const settingsfile::ParsedJson parsed = settingsfile::ParseJson(out);
    EXPECT_TRUE(parsed.errors.empty()) << out;
    EXPECT_EQ(parsed.root.kind, Node::Kind::Object) << out;
    EXPECT_FALSE(parsed.root.members.empty()) << out;
    if (!parsed.root.members.empty()) {
        EXPECT_EQ(parsed.root.members.front().key, "format_version") << out;
        EXPECT_EQ(parsed.root.members.front().value, Node::Number("1")) << out;
    }
    return parsed.root;
}

std::string textOf(const Node* node) {
    return node != nullptr && node->kind != Node::Kind::Null ? node->text : "-";
}

// "key line:column message" of each error; "-" where JSON has null.
std::vector<std::string> errorsOf(const Node& outcome) {
    std::vector<std::string> errors;
    const Node* items = outcome.Find("errors");
    EXPECT_NE(items, nullptr);
    for (const Node& item : items ? items->items : std::vector<Node>{}) {
        errors.push_back(textOf(item.Find("key")) + " " + textOf(item.Find("line")) + ":" +
                         textOf(item.Find("column")) + " " + textOf(item.Find("message")));
    }
    return errors;
}

TEST(JsonOutput, AFailureIsOneObjectWithTheExitCodeAndEachErrorsPlace) {
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::string file; // standard input
        int code;
        std::vector<std::string> errors; // each a prefix of "key line:column message"
    } cases[] = {
        {"an unknown key",
         {"check", "-", "--json"},
         "{\"korvel\": 1,\n  \"tz\": \"UTC+01:00\"}",
         exit_code::kUsage,
         {"tz 2:3 unknown key"}},
        {"a value out of range",
         {"check", "-", "--json"},
         "{\"korvel\": 1,\n  \"log_interval\": \"00:61:00\", \"stop_mode\": \"software\"}",
         exit_code::kUsage,
         {"log_interval 2:3 00:61:00 is out of range"}},
        {"a missing key, at the object that should hold it",
         {"check", "-", "--json"},
         "{\"korvel\": 1,\n \"alarm\": {\"type\": \"single\", \"low\": 5}}",
         exit_code::kUsage,
         {"alarm.high 2:2 required"}},
        {"a duplicate, at the repetition",
         {"check", "-", "--json"},
         "{\"korvel\": 1, \"stop_mode\": \"button\",\n   \"stop_mode\": \"button\"}",
         exit_code::kUsage,
         {"stop_mode 2:4 duplicate key"}},
        {"a JSON mistake, at its place without a key",
         {"check", "-", "--json"},
         "{\"korvel\": 1,\n \"time_zone\": }",
         exit_code::kUsage,
         {"- 2:"}},
        {"not UTF-8 text",
         {"check", "-", "--json"},
         "{\"korvel\": 1, \"trip_information\": \"\xE9t\xE9\"}",
         exit_code::kUsage,
         {"- 1:"}},
        {"a file that cannot be read",
         {"check", "/nonexistent/a.json", "--json"},
         "",
         exit_code::kUsage,
         {"- -:- cannot read /nonexistent/a.json"}},
        {"a bad file for write, before any port",
         {"write", "-", "--json"},
         "{\"korvel\": 1,\n  \"tz\": 1}",
         exit_code::kUsage,
         {"tz 2:3 unknown key"}},
        {"no port", {"read", "--json"}, "", exit_code::kNothingSaved, {"- -:- no USB serial port"}},
        {"a port that is not there",
         {"--port", "/nonexistent/ttyUSB9", "read", "--json"},
         "",
         exit_code::kNothingSaved,
         {"- -:- /nonexistent/ttyUSB9"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Cli cli;
        cli.input = c.file;
        const CliRun run = cli.Run(c.arguments);
        EXPECT_EQ(run.code, c.code) << run.err;
        const Node outcome = versioned(run.out);
        ASSERT_NE(outcome.Find("ok"), nullptr);
        EXPECT_EQ(*outcome.Find("ok"), Node::Bool(false));
        EXPECT_EQ(*outcome.Find("exit_code"), Node::Number(std::to_string(c.code)));
        const std::vector<std::string> errors = errorsOf(outcome);
        ASSERT_GE(errors.size(), c.errors.size()) << run.out;
        for (std::size_t i = 0; i < c.errors.size(); ++i) {
            EXPECT_THAT(errors[i], ::testing::StartsWith(c.errors[i])) << run.out;
        }
        // The same errors still reach a person on standard error.
        EXPECT_THAT(run.err, HasSubstr("korvel-cli: ")) << run.err;
    }
}

TEST(JsonOutput, EveryOutputStartsWithItsFormatVersion) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};

    const Node list = versioned(cli.Run({"list", "--json", "--probe"}).out);
    ASSERT_NE(list.Find("ports"), nullptr);
    EXPECT_EQ(list.Find("ports")->items.size(), 1u);

    cli.input = R"({"korvel": 1, "stop_mode": "software", "password": "A1B2C3",
                   "start": {"mode": "delayed", "delay": "01:30"}})";
    const CliRun checked = cli.Run({"check", "-", "--json"});
    EXPECT_EQ(checked.code, exit_code::kDone) << checked.err;
    const Node check = versioned(checked.out);
    EXPECT_EQ(*check.Find("ok"), Node::Bool(true));
    EXPECT_EQ(settingsfile::CompactText(*check.Find("settings")),
              R"x({"start.mode": "delayed", "start.delay": "01:30", "stop_mode": "software", )x"
              R"x("password": "(hidden)"})x");

    cli.input = R"({"korvel": 1, "stop_mode": "software"})";
    const CliRun written = cli.Run({"write", "-", "--json", "--dry-run"});
    EXPECT_EQ(written.code, exit_code::kDone) << written.err;
    const Node write = versioned(written.out);
    EXPECT_EQ(*write.Find("exit_code"), Node::Number("0"));
    EXPECT_EQ(write.Find("changes")->items.size(), 1u);

    korvel::testing::ScratchFolder folder;
    const std::string history = folder.Path("history.sqlite3");
    cli.openHistory = true;
    const CliRun saves = cli.Run({"--history", history, "history", "list", "--json"});
    if (saves.code == exit_code::kDone) { // a build without SQLite keeps no history
        EXPECT_EQ(versioned(saves.out).Find("saves")->kind, Node::Kind::Array);
    }
}

TEST(JsonOutput, ProvisionPrintsOnlyJsonLinesAndItsWarningsOnStandardError) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.clockSync = platform::ClockSync::Unknown; // a warning
    cli.input = R"({"korvel": 1, "stop_mode": "software"})";
    const CliRun run = cli.Run({"provision", "-", "--json"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    EXPECT_THAT(run.err, HasSubstr("korvel-cli: warning: whether the computer's clock"));
    EXPECT_THAT(run.out, Not(HasSubstr("warning")));
    std::istringstream lines(run.out);
    std::string line;
    Node last;
    int count = 0;
    while (std::getline(lines, line)) {
        last = versioned(line);
        ++count;
    }
    EXPECT_GE(count, 3) << run.out; // probing, saving..., the summary
    EXPECT_EQ(*last.Find("ok"), Node::Bool(true));
    EXPECT_EQ(*last.Find("exit_code"), Node::Number("0"));
    EXPECT_NE(last.Find("summary"), nullptr);
}

TEST(JsonOutput, AProvisionRefusedBeforeAnyLoggerIsOneFailureObject) {
    Cli cli;
    cli.clockSync = platform::ClockSync::Unsynchronised;
    cli.input = R"({"korvel": 1})";
    const CliRun run = cli.Run({"provision", "-", "--json"});
    EXPECT_EQ(run.code, exit_code::kUsage);
    const Node outcome = versioned(run.out);
    const std::vector<std::string> errors = errorsOf(outcome);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THAT(errors[0], HasSubstr("clock is not synchronised"));
}

} // namespace
} // namespace korvel::cli
