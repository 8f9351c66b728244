// The history of saves from the command line: what a write records, a locked
// history file, restoring a save with `history show`, and `history verify`.
#include "CliFixture.h"

#include "cli/Commands.h"
#include "protocol/SettingsCodec.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/FakeHistory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

namespace korvel::cli {
namespace {

using namespace std::chrono_literals;
using korvel::testing::Cli;
using korvel::testing::Logger;
using korvel::testing::RawDatabase;
using korvel::testing::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(HistoryCli, EachWriteRecordsItsAttemptAndOutcome) {
    const struct {
        const char* name;
        std::function<void(sim::LoggerSimulator&)> onSave;
        std::vector<std::string> extra;
        const char* result;
        bool acknowledged;
        bool readBack;
    } cases[] = {
        {"confirmed", nullptr, {}, "confirmed", true, true},
        {"never acknowledged",
         [](sim::LoggerSimulator& l) { l.SetMode(sim::Mode::Silent); },
         {},
         "not acknowledged",
         false,
         false},
        {"read-back differs",
         [](sim::LoggerSimulator& l) { l.SetBlock(sim::DefaultBlock()); },
         {},
         "read-back differs",
         true,
         true},
        {"not read back", nullptr, {"--no-verify"}, "not verified", true, false},
    };
    for (const auto& c : cases) {
        std::atomic<sim::LoggerSimulator*> logger = nullptr;
        sim::LoggerSimulator::Options options;
        if (c.onSave) {
            options.onSave = [&](const protocol::Block&) { c.onSave(*logger.load()); };
        }
        const auto simulated = Logger(std::move(options));
        logger = simulated.get();
        testing::FakeHistory history;
        Cli cli;
        cli.systemPorts = {simulated->PortPath()};
        cli.history = &history;
        cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
        std::vector<std::string> arguments = {"write", "-"};
        arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
        const auto run = cli.Run(arguments);

        const auto saves = history.Saves();
        ASSERT_EQ(saves.size(), 1u) << c.name << run.err;
        const history::SaveAttempt& attempt = saves[0].attempt;
        // The program's clock, read during the run.
        EXPECT_GE(attempt.time, cli.now) << c.name;
        EXPECT_LT(attempt.time, cli.now + std::chrono::seconds(1)) << c.name;
        EXPECT_EQ(attempt.serialNumber, "T23110042") << c.name;
        EXPECT_EQ(attempt.port, simulated->PortPath()) << c.name;
        EXPECT_EQ(attempt.program, "korvel-cli 3.0.0") << c.name;
        EXPECT_EQ(attempt.before.size(), protocol::kFrameSize) << c.name;
        EXPECT_EQ(attempt.frame.size(), protocol::kFrameSize) << c.name;
        EXPECT_EQ(attempt.frame[protocol::offset::kTimeZoneHours], 2) << c.name;
        ASSERT_TRUE(saves[0].outcome) << c.name;
        EXPECT_EQ(saves[0].outcome->result, c.result) << c.name;
        EXPECT_EQ(saves[0].outcome->acknowledged, c.acknowledged) << c.name;
        EXPECT_EQ(saves[0].outcome->readBack.has_value(), c.readBack) << c.name;
    }
}

// Renamed with --set-serial: the attempt names the logger by the number it
// reported, the one its earlier saves are listed under.
TEST(HistoryCli, ARenamedLoggerIsRecordedUnderTheNumberItReported) {
    const auto logger = Logger();
    testing::FakeHistory history;
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.history = &history;
    cli.input = R"({"korvel": 1, "serial_number": "X00000001"})";
    const auto run = cli.Run({"write", "-", "--set-serial"});
    ASSERT_EQ(run.code, exit_code::kDone) << run.err;
    ASSERT_EQ(history.Saves().size(), 1u);
    EXPECT_EQ(history.Saves()[0].attempt.serialNumber, "T23110042");
    EXPECT_EQ(protocol::DecodeSettings(logger->CurrentBlock()).serialNumber, "X00000001");

    // A number beyond ASCII is recorded as text, as the window records it,
    // though the logger stores it in Latin-1.
    sim::LoggerSimulator::Options options;
    options.block = sim::DefaultBlock();
    const std::string latin1 = "J\xFCRGEN001";
    std::copy(latin1.begin(), latin1.end(),
              options.block.begin() + protocol::offset::kSerialNumber);
    const auto foreign = Logger(std::move(options));
    cli.systemPorts = {foreign->PortPath()};
    cli.input = R"({"korvel": 1})";
    const auto run2 = cli.Run({"write", "-"});
    ASSERT_EQ(run2.code, exit_code::kDone) << run2.err;
    ASSERT_EQ(history.Saves().size(), 2u);
    EXPECT_EQ(history.Saves()[1].attempt.serialNumber, "J\u00fcRGEN001");
}

// A save the history could not record is told even under --quiet.
TEST(HistoryCli, AnUnrecordedWriteIsToldUnderQuiet) {
    const auto logger = Logger();
    testing::FakeHistory history;
    history.refuse = true;
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.history = &history;
    cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
    const auto run = cli.Run({"--quiet", "write", "-"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    EXPECT_EQ(run.err, "korvel-cli: warning: the history could not record this save "
                       "(history.sqlite3 is locked by another program); saving without a record\n");
}

class HistoryFile : public ::testing::Test {
protected:
    void SetUp() override {
        cli.systemPorts = {logger->PortPath()};
        cli.openHistory = true;
    }
    testing::CliRun Run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--history", path});
        return cli.Run(arguments);
    }

    TempFolder folder;
    std::string path = folder / "history.sqlite3";
    std::unique_ptr<sim::LoggerSimulator> logger = Logger();
    Cli cli;
};

TEST_F(HistoryFile, ALockedHistoryWarnsUnlessItIsRequired) {
    ASSERT_TRUE(history::OpenHistoryStore(path, {})); // creates the file
    RawDatabase other(path);
    other.Exec("BEGIN EXCLUSIVE");
    cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";

    const auto required = Run({"--require-history", "write", "-"});
    EXPECT_EQ(required.code, exit_code::kNothingSaved) << required.err;
    EXPECT_THAT(required.err, HasSubstr("locked by another program; nothing was saved"));
    EXPECT_EQ(logger->SaveCount(), 0u);

    // A save left out of the record is told even under --quiet.
    const auto warned = Run({"--quiet", "write", "-"});
    EXPECT_EQ(warned.code, exit_code::kDone) << warned.err;
    EXPECT_THAT(warned.err, HasSubstr("warning: " + path + " is locked by another program"));
    EXPECT_EQ(logger->SaveCount(), 1u);

    other.Exec("COMMIT");
    EXPECT_EQ(RawDatabase(path).Scalar("SELECT count(*) FROM saves"), "0");
}

// A reader in the middle of its read (a database browser, a backup, `history
// verify` on a large file) costs a write neither its attempt nor its outcome.
TEST_F(HistoryFile, AReaderKeepsNoWriteFromTheRecord) {
    cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
    ASSERT_EQ(Run({"write", "-"}).code, exit_code::kDone);
    RawDatabase reader(path);
    reader.Exec("BEGIN");
    ASSERT_EQ(reader.Scalar("SELECT count(*) FROM saves"), "2");

    const auto write = Run({"write", "-"});
    EXPECT_EQ(write.code, exit_code::kDone) << write.err;
    EXPECT_THAT(write.err, Not(HasSubstr("warning")));
    reader.Exec("COMMIT");
    EXPECT_EQ(reader.Scalar("SELECT count(*) FROM saves WHERE kind = 'outcome'"), "2");
    EXPECT_EQ(reader.Scalar("SELECT result FROM saves WHERE id = 4"), "confirmed");
}

// The history commands read a history that exists; a missing one is not an
// empty one, and is not created.
TEST_F(HistoryFile, AMissingHistoryIsRefusedAndNotCreated) {
    const std::vector<std::vector<std::string>> commands = {
        {"history", "verify"}, {"history", "list"}, {"history", "show", "1"}};
    for (const std::string& missing : {path, folder / "gone/history.sqlite3"}) {
        for (const auto& command : commands) {
            std::vector<std::string> arguments = {"--history", missing};
            arguments.insert(arguments.end(), command.begin(), command.end());
            const auto run = cli.Run(arguments);
            EXPECT_EQ(run.code, exit_code::kNothingSaved) << command[1];
            EXPECT_EQ(run.err, "korvel-cli: there is no history of saves at " + missing +
                                   ": no save was recorded there, or the file was moved or "
                                   "deleted; name the file with --history PATH\n");
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(folder / "gone"));
}

TEST_F(HistoryFile, ShowGivesTheFileThatRestoresASave) {
    cli.input = R"({"korvel": 1, "time_zone": "UTC+05:30", "alarm": {"type": "multiple",
        "levels": {"temperature_low_1": {"limit": 2, "mode": "single", "delay": "00:10:00"},
                   "temperature_high_1": {"limit": 25.5, "mode": "cumulative",
                                          "delay": "00:10:05"},
                   "temperature_high_2": {"limit": 30, "mode": "single",
                                          "delay": "00:00:00"}}}})";
    const std::vector<std::string> clock = {"--clock", "2025-06-01T08:30:15"};
    ASSERT_EQ(Run({"write", "-", clock[0], clock[1]}).code, exit_code::kDone);
    const protocol::Block known = logger->CurrentBlock();

    cli.input = R"({"korvel": 1, "time_zone": "UTC-03:00", "alarm": {"type": "none"},
        "trip_information": "elsewhere"})";
    ASSERT_EQ(Run({"write", "-"}).code, exit_code::kDone);
    ASSERT_NE(logger->CurrentBlock(), known);

    const auto show = Run({"history", "show", "1"});
    ASSERT_EQ(show.code, exit_code::kDone) << show.err;
    EXPECT_THAT(show.out, HasSubstr(R"("limit": 25.5)"));
    EXPECT_THAT(show.err, HasSubstr("save 1: logger \"T23110042\""));
    cli.input = show.out;
    const auto restore = Run({"write", "-", clock[0], clock[1]});
    ASSERT_EQ(restore.code, exit_code::kDone) << restore.err;
    EXPECT_EQ(logger->CurrentBlock(), known);

    const auto list = Run({"history", "list", "T23110042", "--csv"});
    EXPECT_THAT(list.out, HasSubstr("id,time,serial_number,result,"));
    EXPECT_THAT(list.out, ::testing::ContainsRegex(
                              "\r\n3,2025-06-01T12:00:07\\.[0-9]{3}Z,T23110042,confirmed,"));
    EXPECT_EQ(Run({"history", "list", "X00000000"}).out, "");
}

TEST_F(HistoryFile, VerifyNamesAnEditedRowWithItsOwnExitCode) {
    cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
    ASSERT_EQ(Run({"write", "-"}).code, exit_code::kDone);
    ASSERT_EQ(Run({"write", "-"}).code, exit_code::kDone);
    const auto intact = Run({"history", "verify"});
    EXPECT_EQ(intact.code, exit_code::kDone);
    EXPECT_EQ(intact.out, path + ": intact, 4 rows, head " +
                              RawDatabase(path).Scalar("SELECT hash FROM saves WHERE id = 4") +
                              "\n");

    RawDatabase raw(path);
    raw.Exec(testing::kDropGuards);
    raw.Exec("UPDATE saves SET operator = 'someone else' WHERE id = 3");
    const auto edited = Run({"history", "verify"});
    EXPECT_EQ(edited.code, exit_code::kHistoryBroken);
    EXPECT_EQ(edited.out, path + ": row 3 was edited: its content does not match its hash\n");
}

// Rows cut from the end together with the id counter verify on their own; a
// head kept from before (a report row, an earlier verify) shows the cut.
TEST_F(HistoryFile, AnExpectedHeadShowsRowsCutFromTheEnd) {
    cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
    const auto headAfterWrite = [this] {
        EXPECT_EQ(Run({"write", "-"}).code, exit_code::kDone);
        const std::string out = Run({"history", "verify"}).out;
        const std::size_t at = out.find(", head ");
        return at == std::string::npos ? std::string() : out.substr(at + 7, 64);
    };
    const std::string first = headAfterWrite();
    const std::string second = headAfterWrite();
    ASSERT_EQ(second.size(), 64u);

    const auto expect = [this](const std::string& head) {
        return Run({"history", "verify", "--expect-head", head});
    };
    const auto same = expect(second);
    EXPECT_EQ(same.code, exit_code::kDone);
    EXPECT_EQ(same.out, path + ": intact, 4 rows, head " + second + ", the expected head\n");
    std::string upper = first;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; });
    const auto appended = expect(upper);
    EXPECT_EQ(appended.code, exit_code::kDone);
    EXPECT_EQ(appended.out, path + ": intact, 4 rows, head " + second +
                                "; the expected head is row 2, and 2 rows were added after it\n");

    {
        RawDatabase raw(path);
        raw.Exec(testing::kDropGuards);
        raw.Exec("DELETE FROM saves WHERE id > 2;"
                 "UPDATE sqlite_sequence SET seq = 2 WHERE name = 'saves'");
    }
    EXPECT_EQ(Run({"history", "verify"}).code, exit_code::kDone); // the chain alone cannot tell
    const auto cut = expect(second);
    EXPECT_EQ(cut.code, exit_code::kHistoryBroken);
    EXPECT_EQ(cut.out, path + ": 2 rows, head " + first + ", but the expected head " + second +
                           " is not in the history: rows were removed from its end, or the file "
                           "was replaced or put back from an older copy\n");

    const auto bad = expect("abc");
    EXPECT_EQ(bad.code, exit_code::kUsage);
    EXPECT_THAT(bad.err, HasSubstr("--expect-head abc: give the 64 hexadecimal digits"));
}

TEST(HistoryCli, UsageErrorsAndTheDemo) {
    Cli cli;
    cli.openHistory = true;
    // The simulated logger's saves never reach the default history.
    const auto demo = cli.Run({"--demo", "--require-history", "write", "f.json"});
    EXPECT_EQ(demo.code, exit_code::kNothingSaved);
    EXPECT_THAT(demo.err, HasSubstr("--demo records in no history unless --history PATH"));
    EXPECT_EQ(cli.Run({"--no-history", "history", "list"}).code, exit_code::kUsage);
    EXPECT_EQ(cli.Run({"--no-history", "--require-history", "write", "f.json"}).code,
              exit_code::kUsage);
    EXPECT_EQ(cli.Run({"history", "show", "0"}).code, exit_code::kUsage);
    EXPECT_EQ(cli.Run({"history", "list", "--json", "--csv"}).code, exit_code::kUsage);
}

} // namespace
} // namespace korvel::cli
