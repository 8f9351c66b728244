// provision: many loggers at once, each keeping its identity; the faults of
// some leave the others alone; manifests, refusals, reports and the exit code.
#include "CliFixture.h"
#include "tests/support/FakeHistory.h"

#include "cli/Commands.h"
#include "cli/Manifest.h"
#include "cli/Provision.h"
#include "cli/ProvisionReport.h"
#include "history/Sha256.h"
#include "protocol/Frame.h"
#include "protocol/SettingsCodec.h"
#include "tools/sim/SimBlock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <unistd.h>

namespace korvel::cli {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;
using korvel::history::Sha256Hex;
using korvel::testing::Cli;
using korvel::testing::FakeHistory;
using korvel::testing::Logger;
using ::testing::HasSubstr;
using ::testing::Not;

// A scratch directory removed at the end of the test.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvel-provision-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::string file = (path_ / name).string();
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A logger with its own serial number and temperature calibration.
sim::LoggerSimulator::Options loggerOptions(const std::string& serial, std::uint8_t calibration) {
    sim::Block block = sim::DefaultBlock();
    std::fill_n(block.begin() + offset::kSerialNumber, width::kSerialNumber, 0);
    std::copy(serial.begin(), serial.end(), block.begin() + offset::kSerialNumber);
    block[offset::kCalibrationTemperature + 1] = calibration;
    sim::LoggerSimulator::Options options;
    options.block = sim::ReadReplyFrom(block);
    return options;
}

constexpr const char* kFile = R"({"korvel": 1, "time_zone": "UTC+02:00", "stop_mode": "software"})";

TEST(Provision, EveryLoggerGetsTheFileAndKeepsItsSerialNumberAndCalibration) {
    std::vector<std::unique_ptr<sim::LoggerSimulator>> loggers;
    Cli cli;
    for (int i = 0; i < 4; ++i) {
        auto options = loggerOptions("P0000000" + std::to_string(i), static_cast<std::uint8_t>(i));
        options.pace = true;
        loggers.push_back(Logger(std::move(options)));
        cli.systemPorts.push_back(loggers.back()->PortPath());
    }
    FakeHistory history;
    cli.history = &history;
    const TempDir dir;
    const std::string file = dir.Write("bench.json", kFile);
    const std::string report = dir.Path("run.jsonl");

    const auto run =
        cli.Run({"provision", file, "--expect", "4", "--report", report, "--operator", "ana"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
    for (int i = 0; i < 4; ++i) {
        const auto& logger = *loggers[i];
        ASSERT_EQ(logger.SaveCount(), 1u);
        const LoggerSettings saved = DecodeSettings(logger.CurrentBlock());
        EXPECT_EQ(saved.serialNumber, "P0000000" + std::to_string(i));
        EXPECT_EQ(logger.CurrentBlock()[offset::kCalibrationTemperature + 1], i);
        EXPECT_EQ(logger.CurrentBlock()[offset::kTimeZoneHours], 2);
        // Without a terminal: one plain line per event.
        EXPECT_THAT(run.out, HasSubstr(logger.PortPath() + " P0000000" + std::to_string(i) +
                                       " done: confirmed\n"));
    }
    EXPECT_THAT(run.out, HasSubstr(": 4 found, 4 confirmed, 0 not confirmed, 0 not saved"));

    // The history holds an attempt and its outcome per logger, of one batch.
    const auto entries = history.Saves();
    ASSERT_EQ(entries.size(), 4u);
    for (const auto& entry : entries) {
        EXPECT_EQ(entry.attempt.batch, entries.front().attempt.batch);
        EXPECT_FALSE(entry.attempt.batch.empty());
        EXPECT_EQ(entry.attempt.clockSync, "synchronised");
        EXPECT_EQ(entry.attempt.operatorName, "ana");
        EXPECT_EQ(entry.attempt.frame.size(), kFrameSize);
        ASSERT_TRUE(entry.outcome);
        EXPECT_EQ(entry.outcome->result, "confirmed");
        EXPECT_TRUE(entry.outcome->readBack);
    }

    // The report: one JSON line per logger with what changed and each key compared.
    const std::string rows = readFile(report);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 4);
    const std::string first = rows.substr(0, rows.find('\n'));
    EXPECT_THAT(first, HasSubstr("\"operator\": \"ana\", \"host\": \"bench-1\""));
    EXPECT_THAT(first, HasSubstr("\"settings_sha256\": \"" + Sha256Hex(kFile) + "\""));
    EXPECT_THAT(first, HasSubstr("{\"key\": \"time_zone\", \"old\": \"UTC+01:00\", \"new\": "
                                 "\"UTC+02:00\"}"));
    EXPECT_THAT(first,
                HasSubstr("\"clock\": \"2025-06-01T14:00:07\", \"time_zone\": \"UTC+02:00\", "
                          "\"clock_sync\": \"synchronised\""));
    EXPECT_THAT(first, HasSubstr("\"stop_mode\": \"match\""));
    // Each row and the summary carry a head of the history, to anchor it with.
    EXPECT_THAT(rows, ::testing::ContainsRegex("\"history_head\": \"[0-9]{64}\"}\n"));
    EXPECT_THAT(run.out, HasSubstr("\nhistory head " + FakeHistory::HashOf(8) + "\n"));
}

// One logger of each fault beside one that works: the others finish, the
// exit is 3, the failed ones are listed, the report and the history say which.
TEST(Provision, TheFaultsOfSomeLoggersLeaveTheOthersAlone) {
    std::atomic<sim::LoggerSimulator*> silent = nullptr;
    std::atomic<sim::LoggerSimulator*> ignoring = nullptr;
    std::atomic<sim::LoggerSimulator*> leaving = nullptr;

    auto good = Logger(loggerOptions("GOOD00001", 0));
    auto options = loggerOptions("NOACK0001", 0);
    options.onSave = [&](const sim::Block&) { silent.load()->SetMode(sim::Mode::Silent); };
    auto noAck = Logger(std::move(options));
    silent = noAck.get();
    const sim::Block before = loggerOptions("DIFFER001", 0).block;
    options = loggerOptions("DIFFER001", 0);
    options.onSave = [&](const sim::Block&) { ignoring.load()->SetBlock(before); };
    auto differs = Logger(std::move(options));
    ignoring = differs.get();
    options = loggerOptions("GONE00001", 0);
    options.onSave = [&](const sim::Block&) { leaving.load()->SetMode(sim::Mode::Silent); };
    auto gone = Logger(std::move(options));
    leaving = gone.get();
    auto garbage = Logger(sim::Mode::Garbage);
    const std::string gonePath = gone->PortPath();

    Cli cli;
    cli.systemPorts = {good->PortPath(), noAck->PortPath(), differs->PortPath(), gonePath,
                       garbage->PortPath()};
    FakeHistory history;
    cli.history = &history;
    const TempDir dir;
    const std::string file = dir.Write("bench.json", kFile);
    const std::string report = dir.Path("run.csv");
    auto running = std::async(std::launch::async, [&] {
        return cli.Run({"provision", file, "--report", report});
    });
    // Unplugged while the program waits for its acknowledgement.
    ASSERT_TRUE(gone->WaitForSaves(1, 10s));
    gone.reset();
    ASSERT_EQ(running.wait_for(20s), std::future_status::ready);
    const auto run = running.get();

    EXPECT_EQ(run.code, exit_code::kNotConfirmed) << run.out << run.err;
    EXPECT_EQ(good->SaveCount(), 1u);
    EXPECT_EQ(good->CurrentBlock()[offset::kTimeZoneHours], 2);
    EXPECT_EQ(history.ResultOf("GOOD00001"), "confirmed");
    EXPECT_EQ(history.ResultOf("NOACK0001"), "not acknowledged");
    EXPECT_EQ(history.ResultOf("DIFFER001"), "read-back differs");
    EXPECT_EQ(history.ResultOf("GONE00001"), "not acknowledged");
    EXPECT_THAT(run.out,
                HasSubstr("failed: " + noAck->PortPath() + " NOACK0001: not acknowledged"));
    EXPECT_THAT(run.out, HasSubstr("failed: " + differs->PortPath() +
                                   " DIFFER001: read-back differs (time_zone, stop_mode)"));
    EXPECT_THAT(run.out, HasSubstr("failed: " + gonePath + " GONE00001: not acknowledged"));
    EXPECT_THAT(run.out, HasSubstr(garbage->PortPath() + " - done: no logger: a reply of"));
    EXPECT_THAT(run.out, HasSubstr(": 4 found, 1 confirmed, 3 not confirmed, 0 not saved"));

    const std::string rows = readFile(report);
    EXPECT_THAT(rows, ::testing::StartsWith(CsvHeader()));
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 5); // the header and four loggers
    EXPECT_THAT(rows, HasSubstr(",DIFFER001,read-back differs,\"time_zone, stop_mode\","));
    EXPECT_THAT(rows, HasSubstr("time_zone=differs; "));
}

// The fields of each row of the CSV file at `path` as Python's csv module
// (RFC 4180) reads them: a reader that is not ours.
std::vector<std::vector<std::string>> readCsv(const std::string& path) {
    const std::string command =
        "python3 -c 'import csv, sys\n"
        "for row in csv.reader(open(sys.argv[1], newline=\"\", encoding=\"utf-8\")):\n"
        "    sys.stdout.write(\"\\x1f\".join(row) + \"\\x1e\")' " +
        path;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    std::string out;
    for (int c; pipe != nullptr && (c = std::fgetc(pipe)) != EOF;) {
        out += static_cast<char>(c);
    }
    EXPECT_EQ(pipe == nullptr ? -1 : ::pclose(pipe), 0);
    std::vector<std::vector<std::string>> rows;
    for (std::size_t start = 0, end; (end = out.find('\x1e', start)) != std::string::npos;
         start = end + 1) {
        std::vector<std::string>& fields = rows.emplace_back();
        const std::string row = out.substr(start, end - start);
        for (std::size_t from = 0;; ++from) {
            const std::size_t to = row.find('\x1f', from);
            fields.push_back(row.substr(from, to - from));
            if (to == std::string::npos) {
                break;
            }
            from = to;
        }
    }
    return rows;
}

// Every change text carries quotes, and an operator, a host or a logger's
// detail may start like a spreadsheet formula.
TEST(ProvisionReport, ACsvReaderGetsEveryFieldBackAndNoFormula) {
    ReportRow row;
    row.batch = "b1";
    row.time = "2025-06-01T12:00:00.000000Z";
    row.operatorName = "=HYPERLINK(\"http://x\",\"y\")";
    row.host = "+bench, 2";
    row.program = "-korvel-cli";
    row.settingsSha256 = "@SUM(A1)";
    row.port = "/dev/ttyUSB0";
    row.serialNumber = "A\"B,C";
    row.result = "confirmed";
    row.detail = "line one\nline two";
    row.changes = {{"serial_number", "\"A\"", "\"B\""},
                   {"trip_information", "\"x\"", "\"y,\\\"z\""}};
    row.clock = "2025-06-01T14:00:00";
    row.timeZone = "UTC+02:00";
    row.clockSync = "synchronised";
    row.compared = {{"time_zone", "match"}, {"alarm", "differs"}};
    row.historyHead = "ab12";
    const TempDir dir;
    const std::string path = dir.Write("run.csv", CsvHeader() + CsvRow(row));

    const auto rows = readCsv(path);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].size(), 16u);
    EXPECT_EQ(rows[1], (std::vector<std::string>{
                           "b1", "2025-06-01T12:00:00.000000Z", "'=HYPERLINK(\"http://x\",\"y\")",
                           "'+bench, 2", "'-korvel-cli", "'@SUM(A1)", "/dev/ttyUSB0", "A\"B,C",
                           "confirmed", "line one\\x0aline two",
                           "serial_number: \"A\" -> \"B\"; trip_information: \"x\" -> \"y,\\\"z\"",
                           "2025-06-01T14:00:00", "UTC+02:00", "synchronised",
                           "time_zone=match; alarm=differs", "ab12"}));
}

TEST(Provision, ManifestChoosesTheLoggersAndGivesEachItsTrip) {
    auto listed = Logger(loggerOptions("LISTED001", 0));
    auto other = Logger(loggerOptions("OTHER0001", 0));
    Cli cli;
    cli.systemPorts = {listed->PortPath(), other->PortPath()};
    const TempDir dir;
    const std::string file = dir.Write("bench.json", kFile);
    const std::string manifest = dir.Write("trips.csv", "serial_number,trip_information\n"
                                                        "LISTED001,\"Vaccines, 2-8 °C\nto Lyon\"\n"
                                                        "ABSENT001,Pallet 4\n");
    const auto run = cli.Run({"provision", file, "--manifest", manifest});
    EXPECT_EQ(run.code, exit_code::kNothingSaved) << run.out << run.err;
    ASSERT_EQ(listed->SaveCount(), 1u);
    EXPECT_EQ(DecodeSettings(listed->CurrentBlock()).tripInformation, "Vaccines, 2-8 \xB0"
                                                                      "C\r\nto Lyon");
    EXPECT_EQ(other->SaveCount(), 0u);
    EXPECT_THAT(run.out, HasSubstr("OTHER0001 done: skipped (not in the manifest)"));
    EXPECT_THAT(run.out, HasSubstr("failed: ABSENT001: not found (manifest line 4)"));
}

// A manifest row is the logger's only when the whole serial number matches.
TEST(Provision, AManifestRowIsMatchedByTheWholeSerialNumber) {
    auto logger = Logger(loggerOptions("T2311", 0));
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const TempDir dir;
    const std::string manifest = dir.Write("trips.csv", "serial_number,trip_information\n"
                                                        "T23110042,Pallet 9\n"
                                                        "T2311,Pallet 1\n");
    const auto run = cli.Run({"provision", dir.Write("bench.json", kFile), "--manifest", manifest});
    ASSERT_EQ(logger->SaveCount(), 1u) << run.out << run.err;
    EXPECT_EQ(DecodeSettings(logger->CurrentBlock()).tripInformation, "Pallet 1");
}

TEST(Provision, TwoLoggersWithOneSerialNumberAreNeitherWritten) {
    auto first = Logger(loggerOptions("TWIN00001", 0));
    auto second = Logger(loggerOptions("TWIN00001", 1));
    Cli cli;
    cli.systemPorts = {first->PortPath(), second->PortPath()};
    const TempDir dir;
    const auto run = cli.Run({"provision", dir.Write("bench.json", kFile)});
    EXPECT_EQ(run.code, exit_code::kNothingSaved);
    EXPECT_EQ(first->SaveCount() + second->SaveCount(), 0u);
    EXPECT_THAT(run.out, HasSubstr("another logger has the same serial number"));
}

TEST(Provision, TheExpectedCountAndNoLoggerAtAll) {
    auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const TempDir dir;
    const std::string file = dir.Write("bench.json", kFile);
    const auto short_ = cli.Run({"provision", file, "--expect", "2"});
    EXPECT_EQ(short_.code, exit_code::kNothingSaved);
    EXPECT_THAT(short_.out, HasSubstr("expected 2 loggers, found 1"));
    EXPECT_EQ(logger->SaveCount(), 1u); // the one found is still provisioned

    cli.systemPorts = {};
    const auto none = cli.Run({"provision", file});
    EXPECT_EQ(none.code, exit_code::kNothingSaved);
    EXPECT_THAT(none.out, HasSubstr("no logger found"));
}

// Two Ctrl-C while the ports are probed end the probes at once, and the run
// says it was stopped rather than that there was no logger.
TEST(Provision, TwoStopRequestsWhileProbingSayStopped) {
    sim::LoggerSimulator::Options options;
    options.replyDelay = 3s;
    auto logger = Logger(std::move(options));
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const std::atomic<int> stops = 2;
    cli.stopRequests = &stops;
    const TempDir dir;
    const auto started = std::chrono::steady_clock::now();
    const auto run = cli.Run({"provision", dir.Write("bench.json", kFile)});
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_EQ(run.code, exit_code::kNothingSaved);
    EXPECT_THAT(run.out, HasSubstr("stopped while probing"));
    EXPECT_THAT(run.out, HasSubstr("stopped before any logger was found; nothing was saved"));
    EXPECT_THAT(run.out, Not(HasSubstr("no logger found")));
    EXPECT_EQ(logger->SaveCount(), 0u);
}

// Refused before any port is opened: exit 2 and nothing read.
TEST(Provision, RefusalsBeforeAnyLoggerIsAsked) {
    const TempDir dir;
    const std::string good = dir.Write("good.json", kFile);
    const std::string existing = dir.Write("old.csv", "kept\n");
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        platform::ClockSync clock;
        const char* error;
    } cases[] = {
        {"serial number",
         {"provision", dir.Write("s.json", R"({"korvel": 1, "serial_number": "X"})")},
         platform::ClockSync::Synchronised,
         "serial_number: each logger keeps its own serial number"},
        {"humidity calibration",
         {"provision", dir.Write("c.json", R"({"korvel": 1, "calibration": {"humidity": 1}})")},
         platform::ClockSync::Synchronised,
         "calibration: each logger keeps its own sensor offsets"},
        {"temperature calibration",
         {"provision", dir.Write("t.json", R"({"korvel": 1, "calibration": {"temperature": 1}})")},
         platform::ClockSync::Synchronised,
         "calibration: each logger keeps its own sensor offsets"},
        {"report extension",
         {"provision", good, "--report", dir.Path("run.txt")},
         platform::ClockSync::Synchronised,
         "name a .csv or a .jsonl file"},
        {"report exists",
         {"provision", good, "--report", existing},
         platform::ClockSync::Synchronised,
         "exists; a report is never overwritten"},
        {"malformed manifest",
         {"provision", good, "--manifest",
          dir.Write("m.csv", "serial_number,trip_information\nA1,ok\nB2,\"open\n")},
         platform::ClockSync::Synchronised,
         "m.csv: line 3: a quote is not closed"},
        {"unsynchronised clock",
         {"provision", good},
         platform::ClockSync::Unsynchronised,
         "--allow-unsynced-clock"},
    };
    for (const auto& c : cases) {
        auto logger = Logger();
        Cli cli;
        cli.systemPorts = {logger->PortPath()};
        cli.clockSync = c.clock;
        const auto run = cli.Run(c.arguments);
        EXPECT_EQ(run.code, exit_code::kUsage) << c.name;
        EXPECT_THAT(run.err, HasSubstr(c.error)) << c.name;
        EXPECT_EQ(logger->ReadCount(), 0u) << c.name;
    }
    EXPECT_EQ(readFile(existing), "kept\n");

    // Allowed, the unsynchronised clock is a warning and goes into the record.
    auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.clockSync = platform::ClockSync::Unsynchronised;
    FakeHistory history;
    cli.history = &history;
    const auto run = cli.Run({"provision", good, "--allow-unsynced-clock"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr("warning: the computer's clock is not synchronised"));
    ASSERT_EQ(history.Saves().size(), 1u);
    EXPECT_EQ(history.Saves().front().attempt.clockSync, "unsynchronised");
}

// A store that cannot take the attempt costs a warning, unless the record is
// required: then that logger is not saved.
// A save the history could not record is told even under --quiet.
TEST(Provision, AHistoryThatCannotRecordTheAttempt) {
    const struct {
        bool required;
        bool json;
    } cases[] = {{false, false}, {false, true}, {true, false}};
    for (const auto& c : cases) {
        auto logger = Logger();
        Cli cli;
        cli.systemPorts = {logger->PortPath()};
        FakeHistory history;
        history.refuse = true;
        cli.history = &history;
        cli.requireHistory = c.required;
        const TempDir dir;
        std::vector<std::string> arguments = {"--quiet", "provision",
                                              dir.Write("bench.json", kFile)};
        if (c.json) {
            arguments.emplace_back("--json");
        }
        const auto run = cli.Run(arguments);
        // Under --json too the warning goes to standard error.
        EXPECT_THAT(run.err, HasSubstr("the history could not record this save (history.sqlite3 "
                                       "is locked by another program)"))
            << c.required;
        if (c.required) {
            EXPECT_EQ(run.code, exit_code::kNothingSaved);
            EXPECT_EQ(logger->SaveCount(), 0u);
            EXPECT_THAT(run.out, HasSubstr("done: not sent (the history could not record"));
            EXPECT_THAT(run.out, Not(HasSubstr("not recorded")));
            continue;
        }
        EXPECT_EQ(run.code, exit_code::kDone) << run.out;
        EXPECT_EQ(logger->SaveCount(), 1u);
        EXPECT_THAT(run.out, HasSubstr(c.json ? "\"not_recorded\": 1, \"history_head\": null"
                                              : "\n1 save not recorded in the history"));
    }
}

TEST(Manifest, ReadsQuotedRowsAndNamesTheLineOfAFault) {
    const auto good = ParseManifest("\xEF\xBB\xBFserial_number,trip_information\r\n"
                                    "A1,plain\r\n"
                                    "\r\n"
                                    "B2,\"with \"\"quotes\"\", a comma\nand a line\"\r\n"
                                    "C3,\n");
    ASSERT_TRUE(good) << good.failure().message;
    ASSERT_EQ(good->size(), 3u);
    EXPECT_EQ((*good)[0].tripInformation, "plain");
    EXPECT_EQ((*good)[1].tripInformation, "with \"quotes\", a comma\nand a line");
    EXPECT_EQ((*good)[1].line, 4);
    EXPECT_EQ((*good)[2].serialNumber, "C3");
    EXPECT_EQ((*good)[2].tripInformation, "");

    const std::string header = "serial_number,trip_information\n";
    const struct {
        std::string text;
        const char* error;
    } faults[] = {
        {"serial,trip\nA1,x\n", "line 1: the first line must be the header"},
        {header + "A1,x,y\n", "line 2: 3 fields"},
        {header + "A1,x\nA1,y\n", "line 3: serial_number \"A1\" is listed twice"},
        {header + "A123456789,x\n", "line 2: serial_number \"A123456789\" is not 1 to 9"},
        {header + "A1,Vaccines \"cold\"\n", "line 2: a quote inside an unquoted field"},
        {header + "A1," + std::string(101, 'x') + "\n", "line 2: trip_information"},
        {header + "A1,\xE2\x82\xAC\n", "line 2: trip_information"}, // the euro sign
        // Not UTF-8 text: named, with the place of the first bad byte, not
        // as a fault of the field's JSON.
        {header + "A1,\"Vaccines, 2-8 \xB0"
                  "C\"\n",
         "line 2, column 19: the byte B0 is not UTF-8 (is the file Latin-1 or Windows-1252?): "
         "save it as UTF-8"},
        {header + "A1,x\n" + std::string(1, '\0') + "B2,y\n",
         "line 3, column 1: a NUL byte, which no text file holds"},
        {"\xEF\xBB\xBF" + header + std::string("A1,\0\n", 5), "line 2, column 4: a NUL byte"},
        {std::string("\xFF\xFEs\0e\0", 6), "file: UTF-16 LE text (it begins with the byte-order "
                                           "mark FF FE), not UTF-8: save it as UTF-8"},
        {std::string("s\0e\0r\0", 6), "file: UTF-16 LE text (every other byte is zero)"},
    };
    for (const auto& fault : faults) {
        const auto parsed = ParseManifest(fault.text);
        ASSERT_FALSE(parsed) << fault.text;
        EXPECT_THAT(parsed.failure().message, ::testing::StartsWith(fault.error)) << fault.text;
    }
}

TEST(Provision, ExitCodeByHowTheLoggersEnded) {
    const struct {
        const char* name;
        Tally tally;
        std::optional<int> expect;
        int code;
    } cases[] = {
        {"all confirmed", {.found = 3, .confirmed = 3}, std::nullopt, 0},
        {"skipped ones do not fail", {.found = 3, .confirmed = 1, .skipped = 2}, std::nullopt, 0},
        {"none found", {}, std::nullopt, 1},
        {"one unsaved", {.found = 2, .confirmed = 1, .unsaved = 1}, std::nullopt, 1},
        {"manifest logger missing", {.found = 1, .confirmed = 1, .missing = 1}, std::nullopt, 1},
        {"fewer than expected", {.found = 2, .confirmed = 2}, 3, 1},
        {"more than expected", {.found = 2, .confirmed = 2}, 1, 1},
        {"as expected", {.found = 2, .confirmed = 2}, 2, 0},
        {"unconfirmed beats unsaved", {.found = 2, .unconfirmed = 1, .unsaved = 1}, 2, 3},
        {"a report row missing", {.found = 2, .confirmed = 2, .unreported = 1}, std::nullopt, 1},
        {"unconfirmed beats a missing row",
         {.found = 2, .confirmed = 1, .unconfirmed = 1, .unreported = 1},
         std::nullopt,
         3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProvisionExitCode(c.tally, c.expect), c.code) << c.name;
    }
}

TEST(Provision, TheLiveBoardRewritesItsLinesInPlace) {
    const std::vector<LoggerLine> lines = {{"/dev/ttyUSB0", "T23110042", "saving", ""},
                                           {"/dev/ttyUSB10", "", "probing", ""},
                                           {"/dev/ttyUSB2", "A1", "done", "confirmed"}};
    EXPECT_EQ(RedrawBoard(lines, 0), "\x1b[2K/dev/ttyUSB0   T23110042  saving\n"
                                     "\x1b[2K/dev/ttyUSB10  -          probing\n"
                                     "\x1b[2K/dev/ttyUSB2   A1         done     confirmed\n");
    // Redrawn: up over the three lines drawn before, then the same three.
    EXPECT_THAT(RedrawBoard(lines, 3), ::testing::StartsWith("\r\x1b[3A\x1b[2K/dev/ttyUSB0 "));
    EXPECT_EQ(PlainLine(lines[1]), "/dev/ttyUSB10 - probing");
    EXPECT_EQ(PlainLine(lines[2]), "/dev/ttyUSB2 A1 done: confirmed");
}

} // namespace
} // namespace korvel::cli
