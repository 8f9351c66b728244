// The files korvel-cli writes for the record: the report and the trace are
// new files, their owner's only, never one that exists (a settings file, a
// FIFO); a row or line that cannot be written is told, with a non-zero exit
// and the loggers left without their row named; and the password shows in
// them, in the change lines and in `write --json` only as changed or not.
#include "CliFixture.h"
#include "tests/support/ScratchFiles.h"

#include "cli/Commands.h"
#include "cli/OutputFile.h"
#include "protocol/Frame.h"
#include "protocol/SettingsCodec.h"
#include "tools/sim/SimBlock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <future>
#include <memory>
#include <sstream>

#include <fcntl.h>
#include <sys/resource.h>

namespace korvel::cli {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;
using korvel::testing::Cli;
using korvel::testing::Logger;
using korvel::testing::ModeOf;
using korvel::testing::ReadText;
using korvel::testing::ScopedUmask;
using korvel::testing::ScratchFolder;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kFile = R"({"korvel": 1, "time_zone": "UTC+02:00", "stop_mode": "software"})";

// A logger with its own serial number and, when given, password startup on
// with that password.
sim::LoggerSimulator::Options loggerOptions(const std::string& serial,
                                            const std::string& password = "") {
    sim::Block block = sim::DefaultBlock();
    std::fill_n(block.begin() + offset::kSerialNumber, width::kSerialNumber, 0);
    std::copy(serial.begin(), serial.end(), block.begin() + offset::kSerialNumber);
    if (!password.empty()) {
        block[offset::kPasswordStartup] = value::kStartupEnabled;
        std::copy(password.begin(), password.end(), block.begin() + offset::kPassword);
    }
    sim::LoggerSimulator::Options options;
    options.block = sim::ReadReplyFrom(block);
    return options;
}

// A file on a disk that fills up: it takes `room` appends (shared by every
// file made), then refuses each as a full disk does. Its flush fails when
// `syncFails`.
class FillingFile final : public platform::NewFile {
public:
    FillingFile(std::unique_ptr<platform::NewFile> file, std::shared_ptr<std::atomic<int>> room,
                bool syncFails)
        : file_(std::move(file)), room_(std::move(room)), syncFails_(syncFails) {}
    Result<void> Append(std::string_view bytes) override {
        if (room_->fetch_sub(1) <= 0) {
            return Failure{Failure::Kind::System, "No space left on device"};
        }
        return file_->Append(bytes);
    }
    Result<void> Sync() override {
        if (syncFails_) {
            return Failure{Failure::Kind::System, "Input/output error"};
        }
        return file_->Sync();
    }

private:
    std::unique_ptr<platform::NewFile> file_;
    std::shared_ptr<std::atomic<int>> room_;
    bool syncFails_;
};

FileCreator fillingDisk(int room, bool syncFails = false) {
    auto left = std::make_shared<std::atomic<int>>(room);
    return
        [left, syncFails](const std::string& path) -> Result<std::unique_ptr<platform::NewFile>> {
            auto created = platform::CreateNewFile(path);
            if (!created) {
                return created.failure();
            }
            return std::unique_ptr<platform::NewFile>(
                std::make_unique<FillingFile>(std::move(created).take(), left, syncFails));
        };
}

// The fields of one CSV line (RFC 4180 quotes), to tell a whole row from a cut one.
std::size_t csvFieldCount(const std::string& line) {
    std::size_t fields = 1;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            ++fields;
        }
    }
    return fields;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// korvel-cli itself as a child process whose files may grow to `fileLimit`
// bytes (RLIMIT_FSIZE), as on a full disk: a write beyond it is cut short,
// the next refused. Its standard output and error, and its exit code.
struct ProgramRun {
    int code = -1;
    std::string output;
};
ProgramRun runLimited(const std::vector<std::string>& arguments, rlim_t fileLimit) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::dup2(pipeEnds[1], STDERR_FILENO);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        const rlimit limit{fileLimit, fileLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN); // stays ignored across exec
        ::alarm(60);
        std::vector<char*> argv{const_cast<char*>(KORVEL_CLI_PROGRAM)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(KORVEL_CLI_PROGRAM, argv.data());
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    ProgramRun run;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        run.output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.code = WEXITSTATUS(status);
    }
    return run;
}

// ---- The report ----

// The disk fills up after two rows: the other two loggers are saved all the
// same, named as without a row, counted in the summary, and the exit is 1.
TEST(RecordFiles, AReportRowThatCannotBeWrittenIsToldAndNamed) {
    std::vector<std::unique_ptr<sim::LoggerSimulator>> loggers;
    Cli cli;
    for (int i = 0; i < 4; ++i) {
        loggers.push_back(Logger(loggerOptions("P0000000" + std::to_string(i))));
        cli.systemPorts.push_back(loggers.back()->PortPath());
    }
    cli.createFile = fillingDisk(3); // the header and two rows
    const ScratchFolder folder;
    const std::string report = folder.Path("run.csv");
    const auto run = cli.Run({"provision", folder.Write("bench.json", kFile), "--report", report});

    EXPECT_EQ(run.code, exit_code::kNothingSaved) << run.out << run.err;
    for (const auto& logger : loggers) {
        EXPECT_EQ(logger->SaveCount(), 1u);
    }
    EXPECT_THAT(run.out, HasSubstr(": 4 found, 4 confirmed, 0 not confirmed, 0 not saved"));
    EXPECT_THAT(run.out, HasSubstr("report " + report + ": 2 rows for 4 loggers\n"));
    EXPECT_EQ(countOf(run.out, "no report row: /dev/"), 2u) << run.out;
    EXPECT_EQ(countOf(run.out, ": confirmed\n"), 4u + 2u) << run.out; // board lines, no-row lines
    EXPECT_EQ(countOf(run.err, "korvel-cli: the report " + report + " has no row for /dev/"), 2u)
        << run.err;
    EXPECT_THAT(run.err, HasSubstr(": No space left on device"));

    const std::vector<std::string> lines = linesOf(ReadText(report));
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines) {
        EXPECT_EQ(csvFieldCount(line), 16u) << line;
    }
    // Those named are exactly those without a row.
    for (const auto& logger : loggers) {
        const bool hasRow =
            ReadText(report).find("," + logger->PortPath() + ",") != std::string::npos;
        EXPECT_NE(hasRow,
                  run.out.find("no report row: " + logger->PortPath() + " ") != std::string::npos)
            << logger->PortPath();
    }
}

TEST(RecordFiles, TheJsonSummaryCountsTheReportsRows) {
    auto first = Logger(loggerOptions("J00000001"));
    auto second = Logger(loggerOptions("J00000002"));
    Cli cli;
    cli.systemPorts = {first->PortPath(), second->PortPath()};
    cli.createFile = fillingDisk(1); // one JSON line
    const ScratchFolder folder;
    const std::string report = folder.Path("run.jsonl");
    const auto run =
        cli.Run({"provision", folder.Write("bench.json", kFile), "--report", report, "--json"});
    EXPECT_EQ(run.code, exit_code::kNothingSaved) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("\"report\": {\"path\": \"" + report +
                                   "\", \"rows\": 1, \"loggers\": 2, \"no_row\": [\"/dev/"));
    EXPECT_THAT(run.out, HasSubstr(": confirmed\"]}, \"exit_code\": 1}}"));
    EXPECT_EQ(linesOf(ReadText(report)).size(), 1u);

    // Without a report there is nothing to count.
    cli.createFile = {};
    const auto plain = cli.Run({"provision", folder.Path("bench.json"), "--json"});
    EXPECT_EQ(plain.code, exit_code::kDone) << plain.out << plain.err;
    EXPECT_THAT(plain.out, HasSubstr("\"report\": null"));
}

// A report whose header cannot be written is refused before any logger is
// asked, and taken away again.
TEST(RecordFiles, AReportThatCannotBeBegunStopsTheRunBeforeAnyLogger) {
    auto logger = Logger(loggerOptions("H00000001"));
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.createFile = fillingDisk(0);
    const ScratchFolder folder;
    const std::string report = folder.Path("run.csv");
    const auto run = cli.Run({"provision", folder.Write("bench.json", kFile), "--report", report});
    EXPECT_EQ(run.code, exit_code::kUsage);
    EXPECT_THAT(run.err, HasSubstr("cannot write the report " + report +
                                   ": No space left on device; nothing was sent to any logger"));
    EXPECT_EQ(logger->ReadCount(), 0u);
    EXPECT_FALSE(std::filesystem::exists(report));
}

// The kernel cuts the report short (a file-size limit, as a full disk does):
// the rows in the file are whole, the summary counts them and names the
// others, the exit is 1.
TEST(RecordFiles, AReportOnAFullDiskKeepsWholeRowsAndSaysWhichAreMissing) {
    std::vector<std::unique_ptr<sim::LoggerSimulator>> loggers;
    std::vector<std::string> arguments = {"--no-history"};
    for (int i = 0; i < 3; ++i) {
        loggers.push_back(Logger(loggerOptions("F0000000" + std::to_string(i))));
        arguments.insert(arguments.end(), {"--port", loggers.back()->PortPath()});
    }
    const ScratchFolder folder;
    const std::string report = folder.Path("run.csv");
    arguments.insert(arguments.end(), {"provision", folder.Write("bench.json", kFile), "--report",
                                       report, "--allow-unsynced-clock"});
    // The header and about a row and a half.
    const rlim_t limit = 1000;
    const ProgramRun run = runLimited(arguments, limit);

    EXPECT_EQ(run.code, exit_code::kNothingSaved) << run.output;
    const std::string text = ReadText(report);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n') << "the report ends inside a row";
    const std::vector<std::string> lines = linesOf(text);
    const std::size_t rows = lines.size() - 1;
    EXPECT_GE(rows, 1u);
    EXPECT_LT(rows, 3u);
    for (const std::string& line : lines) {
        EXPECT_EQ(csvFieldCount(line), 16u) << line;
    }
    EXPECT_THAT(run.output, HasSubstr("report " + report + ": " + std::to_string(rows) +
                                      (rows == 1 ? " row" : " rows") + " for 3 loggers\n"));
    EXPECT_EQ(countOf(run.output, "no report row: "), 3 - rows) << run.output;
    EXPECT_EQ(countOf(run.output, "File too large"), 3 - rows) << run.output;
}

// ---- The trace ----

// `--demo --trace mine.json write mine.json` once put the trace over the
// settings file.
TEST(RecordFiles, TheTraceNeverOverwritesAFile) {
    auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const ScratchFolder folder;
    const std::string settings = folder.Write("mine.json", kFile);
    const auto run = cli.Run({"--trace", settings, "write", settings});
    EXPECT_EQ(run.code, exit_code::kUsage);
    EXPECT_THAT(run.err, HasSubstr("korvel-cli: --trace " + settings +
                                   " exists; a trace is never overwritten: name a new file\n"));
    EXPECT_EQ(ReadText(settings), kFile);
    EXPECT_EQ(logger->ReadCount(), 0u);
}

// A FIFO with no reader is refused at once, never waited on.
TEST(RecordFiles, TheTraceRefusesAFifoWithoutWaiting) {
    auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const ScratchFolder folder;
    const std::string fifo = folder.Path("trace.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto running = std::async(std::launch::async, [&] {
        return cli.Run({"--trace", fifo, "read"});
    });
    if (running.wait_for(10s) != std::future_status::ready) {
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK); // lets it go
        running.wait();
        ::close(reader);
        FAIL() << "the trace waited for a reader of the FIFO";
    }
    const auto run = running.get();
    EXPECT_EQ(run.code, exit_code::kUsage);
    EXPECT_THAT(run.err, HasSubstr("--trace " + fifo + " exists; a trace is never overwritten"));
    EXPECT_EQ(logger->ReadCount(), 0u);
}

// The disk fills up after the header and the read command: the save goes
// ahead (the trace is no part of it), then the trace is told incomplete and
// the exit is 1. A trace that cannot be flushed is told too.
TEST(RecordFiles, ATraceThatCannotBeWrittenWholeIsTold) {
    auto logger = Logger();
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.input = kFile;
    const ScratchFolder folder;
    const std::string trace = folder.Path("trace.txt");
    cli.createFile = fillingDisk(2);
    const auto run = cli.Run({"--trace", trace, "write", "-"});
    EXPECT_EQ(run.code, exit_code::kNothingSaved) << run.err;
    EXPECT_EQ(logger->SaveCount(), 1u);
    EXPECT_THAT(run.err, HasSubstr("korvel-cli: the trace " + trace +
                                   " is not whole: line 3 could not be written (No space left on "
                                   "device); it ends before the command did\n"));
    const std::vector<std::string> lines = linesOf(ReadText(trace));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[1], HasSubstr(" tx AA 55 14 01 11 26 AA"));

    // A failure after the command's own keeps its code.
    cli.createFile = fillingDisk(2);
    const auto none = cli.Run(
        {"--trace", folder.Path("none.txt"), "--port", folder.Path("no-such-port"), "read"});
    EXPECT_EQ(none.code, exit_code::kNothingSaved) << none.err;

    cli.createFile = fillingDisk(100, true);
    const auto unflushed = cli.Run({"--trace", folder.Path("unflushed.txt"), "read"});
    EXPECT_EQ(unflushed.code, exit_code::kNothingSaved);
    EXPECT_THAT(unflushed.err, HasSubstr("is not whole: it could not be flushed to the disk "
                                         "(Input/output error)"));
}

// The kernel refuses the trace's third line (a file-size limit, as a full
// disk does): told, exit 1, the lines before it whole.
TEST(RecordFiles, ATraceOnAFullDiskIsTold) {
    auto logger = Logger();
    const ScratchFolder folder;
    const std::string trace = folder.Path("trace.txt");
    const ProgramRun run =
        runLimited({"--no-history", "--port", logger->PortPath(), "--trace", trace, "read"}, 400);
    EXPECT_EQ(run.code, exit_code::kNothingSaved) << run.output;
    EXPECT_THAT(run.output, HasSubstr("korvel-cli: the trace " + trace +
                                      " is not whole: line 3 could not be written (File too "
                                      "large)"));
    const std::string text = ReadText(trace);
    EXPECT_EQ(linesOf(text).size(), 2u);
    EXPECT_EQ(text.back(), '\n');
}

// ---- Secrets ----

constexpr const char* kOld = "Ab12Cd";
constexpr const char* kNew = "Zz99Yy";
constexpr const char* kOldHex = "41 62 31 32 43 64";
constexpr const char* kNewHex = "5A 7A 39 39 59 79";
const std::string kNewPasswordFile = R"({"korvel": 1, "password": "Zz99Yy"})";

void expectNoPassword(const std::string& text, const std::string& where) {
    for (const char* secret : {kOld, kNew, kOldHex, kNewHex}) {
        EXPECT_THAT(text, Not(HasSubstr(secret))) << where;
    }
}

TEST(RecordFiles, ChangeLinesAndWriteJsonSayOnlyThatThePasswordChanged) {
    auto logger = Logger(loggerOptions("S00000001", kOld));
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.input = kNewPasswordFile;
    const auto text = cli.Run({"write", "-"});
    EXPECT_EQ(text.code, exit_code::kDone) << text.err;
    EXPECT_EQ(text.out, "password: (hidden) -> (hidden)\n");
    expectNoPassword(text.out + text.err, "write");
    EXPECT_EQ(DecodeSettings(logger->CurrentBlock()).password.value(), kNew);

    // Now from off to on, with --json.
    sim::Block off = logger->CurrentBlock();
    off[offset::kPasswordStartup] = value::kStartupDisabled;
    logger->SetBlock(sim::ReadReplyFrom(off));
    const auto json = cli.Run({"write", "-", "--json"});
    EXPECT_EQ(json.code, exit_code::kDone) << json.err;
    EXPECT_THAT(json.out,
                HasSubstr(R"x({"key": "password", "before": null, "after": "(hidden)"})x"));
    expectNoPassword(json.out + json.err, "write --json");
}

// In the trace: the password's bytes and their frame's checksum as "**", and
// each frame's note says whether it changed against the frame before.
TEST(RecordFiles, TheTraceShowsThePasswordOnlyAsChangedOrNot) {
    auto logger = Logger(loggerOptions("S00000002", kOld));
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.input = kNewPasswordFile;
    const ScratchFolder folder;
    const std::string trace = folder.Path("trace.txt");
    const auto run = cli.Run({"--trace", trace, "write", "-"});
    EXPECT_EQ(run.code, exit_code::kDone) << run.err;
    const std::string text = ReadText(trace);
    expectNoPassword(text, "trace");
    const std::vector<std::string> lines = linesOf(text);
    ASSERT_EQ(lines.size(), 7u) << text; // header, read, reply, save, ack, read, reply
    const std::string hidden = " ** ** ** ** ** ** ";
    EXPECT_THAT(lines[2], HasSubstr(" rx AA 55 94 "));
    EXPECT_THAT(lines[2], HasSubstr(hidden));
    EXPECT_THAT(lines[2], ::testing::EndsWith(" ** AA (password hidden)"));
    EXPECT_THAT(lines[3], HasSubstr(" tx AA 55 95 "));
    EXPECT_THAT(lines[3], ::testing::EndsWith(" ** AA (password hidden, changed)"));
    EXPECT_THAT(lines[6], ::testing::EndsWith(" ** AA (password hidden, unchanged)"));
    // Everything else is as sent: the bytes before the password, the frame's end.
    EXPECT_THAT(lines[3], HasSubstr(" 53 30 30 30 30 30 30 30 32 ")); // S00000002

    // A save that keeps the password says so.
    const std::string again = folder.Path("again.txt");
    cli.input = kFile;
    EXPECT_EQ(cli.Run({"--trace", again, "write", "-"}).code, exit_code::kDone);
    EXPECT_THAT(linesOf(ReadText(again))[3],
                ::testing::EndsWith(" ** AA (password hidden, unchanged)"));
}

TEST(RecordFiles, TheReportSaysOnlyThatThePasswordChanged) {
    for (const std::string name : {"run.csv", "run.jsonl"}) {
        auto logger = Logger(loggerOptions("S00000003", kOld));
        Cli cli;
        cli.systemPorts = {logger->PortPath()};
        const ScratchFolder folder;
        const std::string report = folder.Path(name);
        const auto run = cli.Run(
            {"provision", folder.Write("bench.json", kNewPasswordFile), "--report", report});
        EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
        const std::string text = ReadText(report);
        expectNoPassword(text + run.out + run.err, name);
        EXPECT_THAT(
            text, HasSubstr(name == "run.csv"
                                ? ",password: (hidden) -> (hidden),"
                                : R"x({"key": "password", "old": "(hidden)", "new": "(hidden)"})x"))
            << text;
        // Compared after the save, by name only.
        EXPECT_THAT(text,
                    HasSubstr(name == "run.csv" ? "password=match" : R"("password": "match")"));
    }
}

// ---- File modes ----

// Under the common umask 022: the report, the trace and a history made in
// Korvel's own data folder are their owner's only, and so is that folder.
TEST(RecordFiles, TheReportTheTraceAndANewHistoryAreTheOwnersOnly) {
    const ScopedUmask umask(022);
    auto logger = Logger(loggerOptions("M00000001", kOld));
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    const ScratchFolder folder;
    const std::string report = folder.Path("run.csv");
    const std::string trace = folder.Path("trace.txt");
    const auto run = cli.Run(
        {"--trace", trace, "provision", folder.Write("bench.json", kFile), "--report", report});
    EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
    EXPECT_EQ(ModeOf(report), 0600);
    EXPECT_EQ(ModeOf(trace), 0600);

    // The default history, in a data folder Korvel makes.
    const char* before = std::getenv("XDG_DATA_HOME");
    const std::string kept = before ? before : "";
    ::setenv("XDG_DATA_HOME", folder.Path("data").c_str(), 1);
    cli.openHistory = true;
    cli.input = kFile;
    const auto write = cli.Run({"write", "-"});
    if (before) {
        ::setenv("XDG_DATA_HOME", kept.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
    EXPECT_EQ(write.code, exit_code::kDone) << write.err;
    EXPECT_EQ(ModeOf(folder.Path("data/korvel/history.sqlite3")), 0600);
    EXPECT_EQ(ModeOf(folder.Path("data/korvel")), 0700);
    EXPECT_EQ(ModeOf(folder.Path("data")), 0700);
}

} // namespace
} // namespace korvel::cli
