// write: the identity guard, the save frame against the window's, every way a
// save can fail to be confirmed, and what is printed.
#include "CliFixture.h"
#include "tests/support/FakeHistory.h"

#include "cli/Commands.h"
#include "protocol/SettingsCodec.h"
#include "tools/sim/SimBlock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <unistd.h>

namespace korvel::cli {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;
using korvel::testing::Cli;
using korvel::testing::Logger;
using ::testing::HasSubstr;
using ::testing::Not;

// A scratch file removed at the end of the test.
class TempFile {
public:
    explicit TempFile(const std::string& text = "") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvel-cli-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        ::close(fd);
        path_ = pattern;
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~TempFile() { std::filesystem::remove(path_); }
    const std::string& path() const { return path_; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string path_;
};

void putLevel(Block& block, Threshold threshold, std::array<std::uint8_t, 7> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + ThresholdOffset(threshold));
}

// A logger with most of its settings away from the factory's: delayed start
// (with start-time bytes left from an earlier timed start), password on,
// degrees F, UTC-03:30, a multiple alarm in plain bytes, a two-line trip text.
Block busyBlock() {
    Block b = sim::DefaultBlock();
    b[offset::kLogIntervalH] = 1;
    b[offset::kLogIntervalM] = 30;
    b[offset::kLogIntervalS] = 20;
    b[offset::kStopMode] = value::kStopByButtonOrSoftware;
    b[offset::kStartMode] = value::kStartDelayed;
    b[offset::kStartYear] = 24;
    b[offset::kStartMonth] = 7;
    b[offset::kStartDay] = 9;
    b[offset::kStartHour] = 2;
    b[offset::kStartMinute] = 15;
    b[offset::kStartSecond] = 33;
    b[offset::kProbeMode] = 1;
    b[offset::kTemperatureUnit] = 1;
    b[offset::kTimeZoneSign] = 1;
    b[offset::kTimeZoneHours] = 3;
    b[offset::kTimeZoneMinutes] = 30;
    b[offset::kCycleSwitch] = 1;
    b[offset::kTemporaryPdfStartup] = 0;
    b[offset::kPasswordStartup] = 1;
    std::copy_n("Ab12Cd", 6, b.begin() + offset::kPassword);
    std::fill_n(b.begin() + offset::kTripInfo, 100, 0);
    std::copy_n("Vaccines\r\nkeep cold", 19, b.begin() + offset::kTripInfo);
    putLevel(b, Threshold::L1, {1, 5, 50, 0, 0, 10, 0});
    putLevel(b, Threshold::H1, {0, 25, 50, 1, 1, 2, 3});
    putLevel(b, Threshold::H3, {0, 40, 0, 0, 0, 0, 30});
    putLevel(b, Threshold::HumidityL1, {0, 30, 0, 1, 0, 5, 0});
    return sim::ReadReplyFrom(b);
}

TEST(Write, AFileReadBackIsSavedAsTheWindowSavesTheSameSettings) {
    sim::LoggerSimulator::Options options;
    options.block = busyBlock();
    const auto logger = Logger(std::move(options));
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const auto read = cli.Run({"read", "--json"});
    ASSERT_EQ(read.code, exit_code::kDone) << read.err;
    const TempFile file(read.out);

    const auto write = cli.Run({"write", file.path(), "--clock", "2025-06-01T08:30:15"});
    EXPECT_EQ(write.code, exit_code::kDone) << write.err;
    EXPECT_EQ(write.out, "no change\n");
    ASSERT_EQ(logger->SaveCount(), 1u);
    const Block saved = logger->CurrentBlock();

    const DateTime clock{2025, 6, 1, 8, 30, 15};
    // The window saves a read by decoding it into settings, showing them and
    // encoding what its controls hold on top of its send buffer (its own tests
    // show that the controls give back the settings they were filled from).
    const Block window = EncodeSaveFrame(DecodeSettings(busyBlock()), Block{}, clock);
    // The window's send buffer starts at zero where the settings write nothing
    // (the start-time bytes a delayed start leaves); the program keeps the logger's.
    for (std::size_t at = 0; at < offset::kChecksum; ++at) {
        if (at == offset::kStartYear || at == offset::kStartMonth || at == offset::kStartDay ||
            at == offset::kStartSecond) {
            EXPECT_EQ(saved[at], busyBlock()[at]) << "byte " << at;
        } else {
            EXPECT_EQ(saved[at], window[at]) << "byte " << at;
        }
    }
    EXPECT_TRUE(CheckFrame(saved.data(), saved.size()));
    // The levels went out as packed BCD and came back so.
    EXPECT_EQ(saved[offset::kTemperatureH1 + 1], 0x25);
    EXPECT_THAT(write.err, HasSubstr("alarm levels as the packed BCD written"));
}

// An erased or never-configured logger: 0xFF in every byte a settings file
// carries (all but the envelope and the clock the save writes).
Block erasedBlock() {
    Block b = sim::DefaultBlock();
    std::fill(b.begin() + offset::kSerialNumber, b.begin() + offset::kSystemYear, 0xFF);
    std::fill(b.begin() + offset::kTripInfo, b.begin() + offset::kChecksum, 0xFF);
    return sim::ReadReplyFrom(b);
}

TEST(Write, AnErasedLoggersOwnFileIsWrittenBackUnchanged) {
    sim::LoggerSimulator::Options options;
    options.block = erasedBlock();
    const auto logger = Logger(std::move(options));
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const auto read = cli.Run({"read", "--json"});
    ASSERT_EQ(read.code, exit_code::kDone) << read.err;
    const TempFile file(read.out);

    const auto write = cli.Run({"write", file.path()});
    EXPECT_EQ(write.code, exit_code::kDone) << write.out << write.err;
    EXPECT_EQ(write.out, "no change\n");
    ASSERT_EQ(logger->SaveCount(), 1u);
    // The save writes its reserved bytes and an alarm's unused level bytes as
    // every save does; each setting goes back as the logger held it.
    EXPECT_EQ(DecodeSettings(logger->CurrentBlock()), DecodeSettings(erasedBlock()));
}

TEST(Write, PrintsEachChangeAndSavesOnlyWhatTheFileNames) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const TempFile file(R"({"korvel": 1, "time_zone": "UTC+05:30",
        "calibration": {"temperature": 1.15, "humidity": 0.29}})");
    const auto run = cli.Run({"write", file.path()});
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    EXPECT_EQ(run.out, "time_zone: \"UTC+01:00\" -> \"UTC+05:30\"\n"
                       "calibration.temperature: 0 -> 1.15\n"
                       "calibration.humidity: 0 -> 0.29\n");
    const Block saved = logger->CurrentBlock();
    EXPECT_EQ(std::vector<int>(saved.begin() + offset::kCalibrationTemperature,
                               saved.begin() + offset::kCalibrationTemperature + 6),
              (std::vector<int>{0x00, 0x01, 0x0F, 0x00, 0x00, 0x1D}));
    // The system clock: 12:00:07 UTC in UTC+05:30, to the second.
    EXPECT_EQ(saved[offset::kSystemHour], 17);
    EXPECT_EQ(saved[offset::kSystemMinute], 30);
    EXPECT_EQ(saved[offset::kSystemSecond], 7);
    EXPECT_EQ(saved[offset::kTripInfo], sim::DefaultBlock()[offset::kTripInfo]);
    EXPECT_THAT(run.err, HasSubstr("clock written 2025-06-01T17:30:07 (not verifiable)"));
}

TEST(Write, RefusesAFileForAnotherLoggerUnlessSetSerial) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const TempFile file(
        R"({"korvel": 1, "serial_number": "X00000001", "calibration": {"temperature": -1.5}})");
    const auto refused = cli.Run({"write", file.path()});
    EXPECT_EQ(refused.code, exit_code::kUsage);
    EXPECT_THAT(refused.err, HasSubstr("serial_number: the file is for logger \"X00000001\" but "
                                       "this logger is \"T23110042\""));
    EXPECT_THAT(refused.err, HasSubstr("--set-serial"));
    EXPECT_EQ(logger->SaveCount(), 0u);

    const auto renamed = cli.Run({"write", file.path(), "--set-serial"});
    EXPECT_EQ(renamed.code, exit_code::kDone) << renamed.err;
    EXPECT_EQ(sim::BlockToHex(logger->CurrentBlock()).substr(12, 26),
              "58 30 30 30 30 30 30 30 31"); // X00000001
}

TEST(Write, ABadFileSendsNothingAtAll) {
    const struct {
        const char* name;
        const char* text;
        const char* error;
    } cases[] = {
        {"duplicate keys", R"({"korvel": 1, "time_zone": "UTC+01:00", "time_zone": "UTC+02:00"})",
         "time_zone: duplicate key"},
        {"syntax", "{\"korvel\": 1,\n\"time_zone\": }", "line 2, column 14"},
        {"unknown key", R"({"korvel": 1, "timezone": "UTC+01:00"})",
         "timezone: unknown key (did you mean \"time_zone\"?)"},
    };
    for (const auto& c : cases) {
        const auto logger = Logger();
        Cli cli;
        cli.systemPorts = {logger->PortPath()};
        const TempFile file(c.text);
        const auto run = cli.Run({"write", file.path()});
        EXPECT_EQ(run.code, exit_code::kUsage) << c.name;
        EXPECT_THAT(run.err, HasSubstr(file.path() + ": " + c.error)) << c.name;
        EXPECT_EQ(logger->ReadCount(), 0u) << c.name;
    }
}

// A value no logger can hold is refused before any port; one that a logger
// may hold waits for the read, and is refused unless this logger holds it.
// Either way it is the file's fault: exit 2, nothing saved.
TEST(Write, AValueOutOfRangeIsRefusedByKeyPathAndNothingIsSaved) {
    const struct {
        const char* limit;
        const char* error;
        std::size_t reads; // 0: refused before the port
    } cases[] = {
        {"300", "alarm.levels.temperature_high_2.limit: 300 is out of range: must be at most 99.99",
         0},
        {"150", "alarm.levels.temperature_high_2.limit: 150 is out of range: must be at most 99.99",
         1},
    };
    for (const auto& c : cases) {
        const auto logger = Logger();
        Cli cli;
        cli.systemPorts = {logger->PortPath()};
        cli.input = std::string(R"({"korvel": 1, "alarm": {"type": "multiple", "levels": {
            "temperature_low_1": {"limit": 2, "mode": "single", "delay": "00:00:00"},
            "temperature_high_1": {"limit": 8, "mode": "single", "delay": "00:00:00"},
            "temperature_high_2": {"limit": )") +
                    c.limit + R"(, "mode": "single", "delay": "00:00:00"}}}})";
        const auto run = cli.Run({"write", "-"});
        EXPECT_EQ(run.code, exit_code::kUsage) << c.limit;
        EXPECT_THAT(run.err, HasSubstr(std::string("standard input: ") + c.error)) << c.limit;
        EXPECT_EQ(logger->ReadCount(), c.reads) << c.limit;
        EXPECT_EQ(logger->SaveCount(), 0u) << c.limit;
    }
}

// Errors of every kind in several keys: reading (unknown key, wrong form, an
// exponent), ranges and the alarm's two limits, all told in one pass, and
// for check, write and provision alike before any port is looked for or
// opened. (Alone, the interval and the limits would wait for write's read, as
// a logger may hold them.)
TEST(Check, AFileWithErrorsInSeveralKeysListsThemAllBeforeAnyPort) {
    const std::string text = R"({
        "korvel": 1,
        "tz": 3,
        "time_zone": "UTC+5",
        "log_interval": "00:61:00",
        "password": "abc",
        "calibration": {"temperature": 300, "humidity": 1E6},
        "trip_information": "Cafe\u0301",
        "alarm": {"type": "single", "low": 30, "high": 20}
    })";
    const std::vector<std::string> errors = {
        "tz: unknown key",
        "time_zone: \"UTC+5\" is not of the form \"UTC+05:30\"",
        "calibration.humidity: 1E6: exponents are not accepted; write the number out",
        "log_interval: 00:61:00 is out of range",
        "password: 'abc' is not 6 letters or digits",
        "calibration.temperature: 300 is out of range: must be at most 255.99",
        "alarm.low: 30 is above the high limit 20",
    };
    for (const char* command : {"check", "write", "provision"}) {
        int opens = 0;
        Cli cli; // no USB serial port at all
        cli.opener = [&opens](const std::string& name) {
            ++opens;
            return platform::OpenSerialDevice(name);
        };
        cli.input = text;
        const auto run = cli.Run({command, "-"});
        EXPECT_EQ(run.code, exit_code::kUsage) << command;
        for (const std::string& error : errors) {
            EXPECT_THAT(run.err, HasSubstr("standard input: " + error)) << command;
        }
        // The decomposed "é" is composed, and so taken.
        EXPECT_THAT(run.err, Not(HasSubstr("trip_information"))) << command;
        EXPECT_THAT(run.err, Not(HasSubstr("USB"))) << command;
        EXPECT_EQ(opens, 0) << command;
        if (std::string(command) == "check") {
            EXPECT_THAT(run.err, Not(HasSubstr("sent"))); // it never talks to a logger
        }
    }
}

TEST(Write, DryRunShowsTheChangesAndSavesNothing) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.input = R"({"korvel": 1, "stop_mode": "software"})";
    const auto run = cli.Run({"write", "-", "--dry-run"});
    EXPECT_EQ(run.code, exit_code::kDone);
    EXPECT_EQ(run.out, "stop_mode: \"button\" -> \"software\"\n");
    EXPECT_THAT(run.err, HasSubstr("dry run: nothing was saved"));
    EXPECT_EQ(logger->SaveCount(), 0u);
}

TEST(Write, WarnsOfAnEarlyTimedStartAndAUnitChangeUnlessQuiet) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.input = R"({"korvel": 1, "temperature_unit": "F",
        "start": {"mode": "timed", "at": "2025-05-31T23:00:00"}})";
    const auto run = cli.Run({"write", "-", "--dry-run"});
    EXPECT_EQ(run.code, exit_code::kDone);
    EXPECT_THAT(run.err,
                HasSubstr("warning: temperature_unit changes but the file gives no alarm"));
    EXPECT_THAT(run.err, HasSubstr("warning: start.at 2025-05-31T23:00:00 is earlier than the "
                                   "clock written (2025-06-01T13:00:07)"));
    const auto quiet = cli.Run({"write", "-", "--dry-run", "--quiet"});
    EXPECT_EQ(quiet.err, "");
}

TEST(Write, AnUnsynchronisedClockIsAWarningNotARefusal) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.clockSync = platform::ClockSync::Unsynchronised;
    cli.input = R"({"korvel": 1})";
    const auto run = cli.Run({"write", "-"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    EXPECT_THAT(run.err, HasSubstr("warning: the computer's clock is not synchronised"));
    EXPECT_EQ(logger->SaveCount(), 1u);
}

// Each way a sent save stays unconfirmed: exit 3 and what to do next.
TEST(Write, ASaveThatIsNotConfirmed) {
    const struct {
        const char* name;
        std::function<void(sim::LoggerSimulator&, const Block& before)> onSave;
        const char* error;
    } cases[] = {
        {"no acknowledgement",
         [](sim::LoggerSimulator& logger, const Block&) { logger.SetMode(sim::Mode::Silent); },
         "the save was sent but is not confirmed: no acknowledgement within 1000 ms"},
        {"acknowledged but ignored",
         [](sim::LoggerSimulator& logger, const Block& before) { logger.SetBlock(before); },
         "read-back differs: time_zone: saved \"UTC+02:00\", the logger reports \"UTC+01:00\""},
        {"answers the read-back wrongly",
         [](sim::LoggerSimulator& logger, const Block&) {
             // The acknowledgement goes out as usual; the mode counts from the next reply.
             logger.SetMode(sim::Mode::BadChecksum);
         },
         "the save was sent but is not confirmed: the logger answered the save with a reply "
         "with a bad checksum"},
    };
    for (const auto& c : cases) {
        // Set once the simulator exists; its worker reads it.
        std::atomic<sim::LoggerSimulator*> logger = nullptr;
        const Block before = sim::DefaultBlock();
        sim::LoggerSimulator::Options options;
        options.onSave = [&](const Block&) { c.onSave(*logger.load(), before); };
        const auto simulated = Logger(std::move(options));
        logger = simulated.get();
        Cli cli;
        cli.systemPorts = {simulated->PortPath()};
        cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
        const auto run = cli.Run({"write", "-", "--json"});
        EXPECT_EQ(run.code, exit_code::kNotConfirmed) << c.name << run.err;
        EXPECT_THAT(run.err, HasSubstr(c.error)) << c.name;
        EXPECT_THAT(run.err, HasSubstr("run korvel-cli read to see what the logger holds"));
        EXPECT_THAT(run.out, HasSubstr("\"exit_code\": 3")) << c.name;
        EXPECT_EQ(simulated->SaveCount(), 1u) << c.name;
    }
}

TEST(Write, ALoggerThatConvertsLevelsToPlainBytesIsConfirmedAndNamed) {
    std::atomic<sim::LoggerSimulator*> logger = nullptr;
    sim::LoggerSimulator::Options options;
    options.block = busyBlock();
    // Keeps the values of the levels it was sent, in plain bytes.
    options.onSave = [&](const Block& saved) {
        Block plain = saved;
        for (std::size_t i = 0; i < kThresholdCount; ++i) {
            const std::size_t at = ThresholdOffset(static_cast<Threshold>(i));
            if (plain[at] != level::kDisabled) {
                for (std::size_t k : {1, 2, 4, 5, 6}) {
                    plain[at + k] = static_cast<std::uint8_t>((plain[at + k] >> 4) * 10 +
                                                              (plain[at + k] & 0x0F));
                }
            }
        }
        logger.load()->SetBlock(plain);
    };
    const auto simulated = Logger(std::move(options));
    logger = simulated.get();
    Cli cli;
    cli.systemPorts = {simulated->PortPath()};
    cli.input = R"({"korvel": 1, "cycle_switch": "opened"})";
    const auto run = cli.Run({"write", "-"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    EXPECT_THAT(run.err, HasSubstr("the logger reports its alarm levels as plain bytes"));
}

TEST(Write, TheDeviceGoneInTheMiddleOfAWrite) {
    // The read is answered; the save is taken and never answered, and then the
    // logger is unplugged while the program waits for its acknowledgement.
    std::atomic<sim::LoggerSimulator*> simulated = nullptr;
    sim::LoggerSimulator::Options options;
    options.onSave = [&](const Block&) { simulated.load()->SetMode(sim::Mode::Silent); };
    auto logger = Logger(std::move(options));
    simulated = logger.get();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
    auto running = std::async(std::launch::async, [&] { return cli.Run({"write", "-"}); });
    ASSERT_TRUE(logger->WaitForSaves(1, 5s));
    logger.reset();
    ASSERT_EQ(running.wait_for(10s), std::future_status::ready);
    const auto run = running.get();
    EXPECT_EQ(run.code, exit_code::kNotConfirmed) << run.err;
    EXPECT_THAT(run.err, HasSubstr("went away (unplugged?) after the save"));
}

TEST(Write, TheTraceHoldsEveryChunkBothWays) {
    const auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.input = R"({"korvel": 1})";
    // A trace is always a new file.
    const TempFile trace;
    std::filesystem::remove(trace.path());
    const auto run = cli.Run({"--trace", trace.path(), "write", "-", "--no-verify"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    std::istringstream lines(trace.Read());
    std::string line;
    std::getline(lines, line);
    EXPECT_THAT(line, ::testing::MatchesRegex(
                          "korvel-cli trace, started 2025-06-01T12:00:07.25[0-9]000Z, korvel-cli "
                          "[0-9.]+, arguments: --trace .* write - --no-verify"));
    std::vector<std::string> directions;
    // The password's bytes and their frame's checksum are hidden.
    const std::regex chunk(
        "[0-9]+\\.[0-9]{6} " + logger->PortPath() +
        " (tx|rx) ([0-9A-F]{2})( [0-9A-F]{2}| \\*\\*)*( \\(password hidden.*\\))?");
    while (std::getline(lines, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, chunk)) << line;
        directions.push_back(match[1]);
    }
    EXPECT_EQ(directions, (std::vector<std::string>{"tx", "rx", "tx", "rx"}));
    EXPECT_THAT(trace.Read(), HasSubstr(" tx AA 55 14 01 11 26 AA\n"));
    EXPECT_THAT(trace.Read(), HasSubstr(" rx AA 55 15 00 15 AA\n"));
}

TEST(Check, ValidatesAFileWithoutALogger) {
    Cli cli;
    cli.input = R"({"korvel": 1, "log_interval": "00:61:00", "password": "abc"})";
    const auto bad = cli.Run({"check", "-"});
    EXPECT_EQ(bad.code, exit_code::kUsage);
    EXPECT_THAT(bad.err, HasSubstr("log_interval: 00:61:00 is out of range"));
    EXPECT_THAT(bad.err, HasSubstr("password: 'abc' is not 6 letters or digits"));
    cli.input = R"({"korvel": 1, "log_interval": "00:60:00"})";
    EXPECT_EQ(cli.Run({"check", "-"}).code, exit_code::kDone);
}

} // namespace
} // namespace korvel::cli

namespace korvel::cli {
namespace {

using namespace std::chrono_literals;
using korvel::testing::Cli;
using korvel::testing::FakeHistory;
using korvel::testing::Logger;
using ::testing::HasSubstr;

// Ctrl-C (or SIGTERM, or a closed terminal) during a write: before the frame
// goes out nothing is saved; after it, the first request lets the save be
// confirmed and the second cuts it short, told as a state unknown.
TEST(Write, AStopRequestBeforeOrAfterTheFrameWentOut) {
    const struct {
        const char* name;
        int atStart; // requests before the command begins
        int onSave;  // requests once the logger has the frame
        int code;
        const char* error; // in standard error
        std::uint64_t saves;
        const char* recorded; // the history's outcome; empty: nothing recorded
    } cases[] = {
        {"while looking for the logger", 1, 0, exit_code::kNothingSaved, "nothing was saved", 0,
         ""},
        {"once after the frame went out", 0, 1, exit_code::kDone,
         "read back: the logger holds every setting saved", 1, "confirmed"},
        {"twice after the frame went out", 0, 2, exit_code::kNotConfirmed,
         "interrupted, state unknown: run korvel-cli read", 1, "interrupted, state unknown"},
    };
    for (const auto& c : cases) {
        std::atomic<int> stops = c.atStart;
        std::atomic<sim::LoggerSimulator*> simulated = nullptr;
        sim::LoggerSimulator::Options options;
        // Slow enough that a request is seen while an answer is awaited.
        options.replyDelay = 300ms;
        options.onSave = [&](const sim::Block&) {
            stops = c.onSave;
            if (c.onSave >= 2) {
                simulated.load()->SetReplyDelay(5s);
            }
        };
        const auto logger = Logger(std::move(options));
        simulated = logger.get();
        Cli cli;
        cli.input = R"({"korvel": 1, "time_zone": "UTC+02:00"})";
        FakeHistory history;
        cli.history = &history;
        cli.stopRequests = &stops;
        const auto started = std::chrono::steady_clock::now();
        // Named: a search takes a logger this slow to begin for a silent port.
        const auto run = cli.Run({"write", "-", "--port", logger->PortPath()});
        EXPECT_EQ(run.code, c.code) << c.name << run.err;
        EXPECT_THAT(run.err, HasSubstr(c.error)) << c.name;
        EXPECT_EQ(logger->SaveCount(), c.saves) << c.name;
        if (*c.recorded != '\0') {
            EXPECT_EQ(history.ResultOf(protocol::DecodeSettings(sim::DefaultBlock()).serialNumber),
                      c.recorded)
                << c.name;
        }
        // The cut-short wait ends at the request, not after the logger's 5 s.
        EXPECT_LT(std::chrono::steady_clock::now() - started, 4s) << c.name;
    }
}

} // namespace
} // namespace korvel::cli
