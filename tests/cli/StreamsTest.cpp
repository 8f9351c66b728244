// Where korvel-cli's output goes and where its input comes from: the live
// board only on a terminal that can move its cursor, --trace - on standard
// error, --manifest - from standard input; and --demo, whose logger takes the
// computer's clock whether or not it is synchronised.
#include "CliFixture.h"
#include "cli/Environment.h"
#include "tests/support/ScratchFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace korvel::cli {
namespace {

using korvel::testing::Cli;
using korvel::testing::ScratchFolder;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kFile = R"({"korvel": 1, "time_zone": "UTC+02:00"})";

TEST(Streams, TheBoardIsLiveOnlyOnATerminalThatMovesItsCursor) {
    const struct {
        bool terminal;
        const char* term;
        bool live;
    } cases[] = {
        {true, "xterm-256color", true}, {true, "linux", true},   {true, nullptr, true},
        {true, "dumb", false},          {false, "xterm", false}, {false, nullptr, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LiveTerminal(c.terminal, c.term), c.live)
            << c.terminal << " " << (c.term ? c.term : "(unset)");
    }
}

// The program on a real terminal (script(1) gives it one): live lines, and
// none of their cursor movements under TERM=dumb.
TEST(Streams, ProvisionOnADumbTerminalSendsNoCursorMovements) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "script(1) is not installed";
    }
    const ScratchFolder dir;
    const std::string file = dir.Write("bench.json", kFile);
    const auto onTerminal = [&](const std::string& term) {
        const std::string command = "TERM=" + term + " timeout 60 script -qec '" +
                                    KORVEL_CLI_PROGRAM + " --demo provision " + file +
                                    "' /dev/null </dev/null";
        std::string output;
        FILE* pipe = ::popen(command.c_str(), "r");
        std::array<char, 4096> buffer{};
        for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
            output.append(buffer.data(), got);
        }
        ::pclose(pipe);
        return output;
    };
    const std::string live = onTerminal("xterm");
    EXPECT_THAT(live, HasSubstr("\x1b[")) << live;
    const std::string dumb = onTerminal("dumb");
    EXPECT_THAT(dumb, HasSubstr(" done: confirmed")) << dumb;
    EXPECT_THAT(dumb, Not(HasSubstr("\x1b"))) << dumb;
}

TEST(Streams, TraceDashGoesToStandardErrorBetweenTheMessages) {
    const Cli cli;
    const auto run = cli.Run({"--demo", "--trace", "-", "read"});
    ASSERT_EQ(run.code, exit_code::kDone) << run.err;
    EXPECT_THAT(run.out, HasSubstr("serial_number"));
    EXPECT_THAT(run.out, Not(HasSubstr(" tx ")));
    EXPECT_THAT(run.err, HasSubstr("korvel-cli trace, started "));
    EXPECT_THAT(run.err, ContainsRegex("\n[0-9]+\\.[0-9]{6} [^ ]+ tx AA 55"));
    EXPECT_THAT(run.err, ContainsRegex("\n[0-9]+\\.[0-9]{6} [^ ]+ rx AA 55"));
    EXPECT_THAT(run.err, HasSubstr("korvel-cli: logger "));
}

TEST(Streams, ManifestDashIsReadFromStandardInput) {
    const ScratchFolder dir;
    const std::string file = dir.Write("bench.json", kFile);
    Cli cli;
    cli.input = "serial_number,trip_information\nA1,ok\nB2,\"open\n";
    const auto bad = cli.Run({"--demo", "provision", file, "--manifest", "-"});
    EXPECT_EQ(bad.code, exit_code::kUsage);
    EXPECT_THAT(bad.err, HasSubstr("standard input: line 3: a quote is not closed"));

    // The demo logger's serial number, as `read` gives it.
    const auto read = cli.Run({"--demo", "read", "--json"});
    ASSERT_EQ(read.code, exit_code::kDone) << read.err;
    const std::size_t at = read.out.find("\"serial_number\": \"") + 18;
    const std::string serial = read.out.substr(at, read.out.find('"', at) - at);
    cli.input = "serial_number,trip_information\n" + serial + ",Pallet 4\n";
    const auto good = cli.Run({"--demo", "provision", file, "--manifest", "-"});
    EXPECT_EQ(good.code, exit_code::kDone) << good.out << good.err;
    EXPECT_THAT(good.out, HasSubstr(serial));
    EXPECT_THAT(good.out, HasSubstr(": 1 found, 1 confirmed"));
}

TEST(Streams, DemoProvisionsWithAnUnsynchronisedClock) {
    const ScratchFolder dir;
    Cli cli;
    cli.clockSync = platform::ClockSync::Unsynchronised;
    const auto run = cli.Run({"--demo", "provision", dir.Write("bench.json", kFile)});
    EXPECT_EQ(run.code, exit_code::kDone) << run.out << run.err;
    EXPECT_THAT(run.err, Not(HasSubstr("synchronised")));
    // Without --demo the clock is still refused before any logger is asked.
    auto logger = korvel::testing::Logger();
    cli.systemPorts = {logger->PortPath()};
    const auto real = cli.Run({"provision", dir.Path("bench.json")});
    EXPECT_EQ(real.code, exit_code::kUsage);
    EXPECT_THAT(real.err, HasSubstr("--allow-unsynced-clock"));
    EXPECT_EQ(logger->ReadCount(), 0u);
}

} // namespace
} // namespace korvel::cli
