// Bytes a logger or a file controls never reach the terminal raw; a file that
// is not UTF-8 text, or holds more than its JSON, is refused with its place
// before any logger is asked; the errors of a file are counted, not flooded.
#include "CliFixture.h"
#include "tests/support/ScratchFiles.h"

#include "cli/Commands.h"
#include "cli/Provision.h"
#include "history/HistoryStore.h"
#include "protocol/Printable.h"
#include "protocol/SettingsCodec.h"
#include "settingsfile/SettingsFile.h"
#include "tools/sim/SimBlock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace korvel::cli {
namespace {

using namespace korvel::protocol;
using namespace std::string_literals;
using korvel::testing::Cli;
using korvel::testing::Logger;
using ::testing::HasSubstr;
using ::testing::Not;

using TempDir = korvel::testing::ScratchFolder;

// True when every line of `output` prints as itself: no control character,
// no byte that is not UTF-8, only the line breaks (LF or CR LF) between lines.
bool printsAsItself(const std::string& output) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (PrintableText(line) != line) {
            ADD_FAILURE() << "printed raw: " << PrintableText(line);
            return false;
        }
    }
    return true;
}

std::unique_ptr<sim::LoggerSimulator> loggerWithSerial(const std::string& serial) {
    sim::Block block = sim::DefaultBlock();
    std::fill_n(block.begin() + offset::kSerialNumber, width::kSerialNumber, 0);
    std::copy(serial.begin(), serial.end(), block.begin() + offset::kSerialNumber);
    sim::LoggerSimulator::Options options;
    options.block = sim::ReadReplyFrom(block);
    return Logger(std::move(options));
}

// ESC sequences that would clear the screen and retitle the window, and the
// one-byte CSI of Latin-1 (U+009B once in UTF-8).
const std::string kHostileSerial = "A\x1b[2J\x9b"
                                   "5m";
const std::string kHostileSerialShown = "A\\x1b[2J\\u009b5m";

TEST(UntrustedText, ASerialNumberWithControlsIsEscapedOnTheBoardAndInTheReport) {
    const auto logger = loggerWithSerial(kHostileSerial);
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const TempDir dir;
    const std::string file = dir.Write("bench.json", R"({"korvel": 1, "stop_mode": "software"})");

    const auto run = cli.Run({"provision", file, "--report", dir.Path("run.csv")});
    EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
    EXPECT_THAT(run.out,
                HasSubstr(logger->PortPath() + " " + kHostileSerialShown + " done: confirmed\n"));
    EXPECT_TRUE(printsAsItself(run.out));
    EXPECT_TRUE(printsAsItself(run.err));
    const std::string report = korvel::testing::ReadText(dir.Path("run.csv"));
    EXPECT_THAT(report, HasSubstr("," + kHostileSerialShown + ",confirmed,"));
    EXPECT_TRUE(printsAsItself(report));

    // On a terminal the board's own sequences stay, the logger's are escaped.
    const std::string board = RedrawBoard({{"/dev/ttyUSB0", "A\x1b[2J", "done",
                                            "refused (\xc2\x9b"
                                            "5m)"}},
                                          0);
    EXPECT_EQ(board, "\x1b[2K/dev/ttyUSB0  A\\x1b[2J   done  refused (\\u009b5m)\n");
    EXPECT_EQ(PlainLine({"/dev/ttyUSB0", "A\x1b[2J", "done", "confirmed"}),
              "/dev/ttyUSB0 A\\x1b[2J done: confirmed");

    // JSON lines stay JSON: the writer escapes control characters its own way.
    const auto json = cli.Run({"provision", file, "--json"});
    EXPECT_THAT(json.out, HasSubstr(R"("serial_number": "A\u001b[2J\u009b5m")"));
    EXPECT_TRUE(printsAsItself(json.out));
}

TEST(UntrustedText, TheHistoryShowsASerialNumberWithControlsEscaped) {
    if (!history::HistoryAvailable()) {
        GTEST_SKIP() << "this build keeps no history";
    }
    const std::string serial = "A\x1b[2J\x1b]0;";
    const std::string shown = "A\\x1b[2J\\x1b]0;";
    const auto logger = loggerWithSerial(serial);
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.openHistory = true;
    const TempDir dir;
    const std::string path = dir.Path("history.sqlite3");
    cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
    ASSERT_EQ(cli.Run({"--history", path, "write", "-"}).code, exit_code::kDone);

    const auto list = cli.Run({"--history", path, "history", "list"});
    EXPECT_EQ(list.code, exit_code::kDone) << list.err;
    EXPECT_THAT(list.out, HasSubstr("  " + shown + "  confirmed"));
    EXPECT_TRUE(printsAsItself(list.out));

    const auto csv = cli.Run({"--history", path, "history", "list", "--csv"});
    EXPECT_THAT(csv.out, HasSubstr("," + shown + ",confirmed,"));
    EXPECT_TRUE(printsAsItself(csv.out));

    const auto json = cli.Run({"--history", path, "history", "list", "--json"});
    EXPECT_THAT(json.out, HasSubstr(R"("serial_number": "A\u001b[2J\u001b]0;")"));
    EXPECT_TRUE(printsAsItself(json.out));

    // show: the message escaped, the file still a settings file with the bytes.
    const auto show = cli.Run({"--history", path, "history", "show", "1"});
    EXPECT_EQ(show.code, exit_code::kDone) << show.err;
    EXPECT_THAT(show.err, HasSubstr("save 1: logger \"" + shown + "\""));
    EXPECT_TRUE(printsAsItself(show.err));
    EXPECT_TRUE(printsAsItself(show.out));
    const settingsfile::ParsedFile restored = settingsfile::ParseSettingsFile(show.out);
    ASSERT_TRUE(restored.file.has_value());
    EXPECT_EQ(restored.file->settings.serialNumber, serial);
}

TEST(UntrustedText, KeysAndValuesWithControlsAreEscapedInMessagesAndChanges) {
    Cli cli;
    cli.input = R"({"korvel": 1, "a\u001b[31mred": 1, "stop_mode": "\u009b2J"})";
    const auto check = cli.Run({"check", "-"});
    EXPECT_EQ(check.code, exit_code::kUsage);
    EXPECT_THAT(check.err, HasSubstr("standard input: a\\x1b[31mred: unknown key"));
    EXPECT_THAT(check.err, HasSubstr("standard input: stop_mode: \"\\u009b2J\" is not one of"));
    EXPECT_TRUE(printsAsItself(check.err));

    const auto logger = Logger();
    cli.systemPorts = {logger->PortPath()};
    cli.input = R"({"korvel": 1, "trip_information": "\u009b31mred\u001b"})";
    const auto write = cli.Run({"write", "-", "--dry-run"});
    EXPECT_EQ(write.code, exit_code::kDone) << write.err;
    EXPECT_THAT(write.out, HasSubstr(" -> \"\\u009b31mred\\u001b\"\n"));
    EXPECT_TRUE(printsAsItself(write.out));
    EXPECT_TRUE(printsAsItself(write.err));
}

TEST(UntrustedText, NothingButWhiteSpaceMayFollowTheSettings) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const std::string nul = "{\"korvel\": 1}\0{\"stop_mode\": 7}"s;
    const struct {
        const char* name;
        std::string text;
        const char* error;
    } cases[] = {
        {"a NUL and more", nul, "standard input: line 1, column 14: a NUL byte"},
        {"a NUL at the end", "{\"korvel\": 1}\n\0"s,
         "standard input: line 2, column 1: a NUL byte"},
        {"a second object", "{\"korvel\": 1}\n{}",
         "standard input: line 2, column 1: more after the end of the settings"},
    };
    for (const auto& c : cases) {
        cli.input = c.text;
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"check", "-"},
              std::vector<std::string>{"write", "-", "--dry-run"}}) {
            const auto run = cli.Run(command);
            EXPECT_EQ(run.code, exit_code::kUsage) << c.name << " " << command[0];
            EXPECT_THAT(run.err, HasSubstr(c.error)) << c.name << " " << command[0];
            EXPECT_TRUE(printsAsItself(run.err)) << c.name;
        }
    }
    EXPECT_EQ(logger->ReadCount(), 0u);
}

TEST(UntrustedText, AFileInAnotherEncodingIsNamedAndAnOverflowGivesItsKeyAndRange) {
    Cli cli;
    // {"korvel": 1} as Windows PowerShell 5.1's > writes it: UTF-16 LE.
    cli.input = "\xFF\xFE";
    for (const char c : std::string(R"({"korvel": 1})")) {
        cli.input += c;
        cli.input += '\0';
    }
    const auto utf16 = cli.Run({"check", "-"});
    EXPECT_EQ(utf16.code, exit_code::kUsage);
    EXPECT_THAT(utf16.err, HasSubstr("standard input: file: UTF-16 LE text (it begins with the "
                                     "byte-order mark FF FE), not UTF-8: save it as UTF-8"));
    EXPECT_THAT(utf16.err, Not(HasSubstr("invalid literal")));

    cli.input = "{\"korvel\": 1,\n \"trip_information\": \"2-8 \xB0"
                "C\"}";
    const auto latin1 = cli.Run({"check", "-"});
    EXPECT_EQ(latin1.code, exit_code::kUsage);
    EXPECT_THAT(latin1.err, HasSubstr("standard input: line 2, column 27: the byte B0 is not "
                                      "UTF-8"));
    EXPECT_TRUE(printsAsItself(latin1.err));

    cli.input = R"({"korvel": 1, "calibration": {"temperature": 1e400}})";
    const auto overflow = cli.Run({"check", "-"});
    EXPECT_EQ(overflow.code, exit_code::kUsage);
    EXPECT_THAT(overflow.err,
                HasSubstr("standard input: calibration.temperature: 1e400 at line 1, column 46 is "
                          "too large a number (calibration.temperature takes -255.99 to 255.99 "
                          "with at most two decimals)"));
    EXPECT_THAT(overflow.err, Not(HasSubstr("json.exception")));
}

TEST(UntrustedText, TheFirstTwentyErrorsAreShownAndTheRestCounted) {
    Cli cli;
    cli.input = R"({"korvel": 1)";
    for (int i = 0; i < 1000; ++i) {
        cli.input += ", \"k" + std::to_string(i) + "\": 0";
    }
    cli.input += "}";
    const auto run = cli.Run({"check", "-"});
    EXPECT_EQ(run.code, exit_code::kUsage);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 21) << run.err;
    EXPECT_THAT(run.err, HasSubstr("standard input: k19: unknown key"));
    EXPECT_THAT(run.err, Not(HasSubstr("k20:")));
    EXPECT_THAT(run.err, HasSubstr("korvel-cli: standard input: ... and 980 more errors\n"));
}

} // namespace
} // namespace korvel::cli
