// korvel-cli as a program: its exit codes and what goes to which stream.
#include "CliFixture.h"
#include "cli/Commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace korvel::cli {
namespace {

using ::testing::HasSubstr;

using korvel::testing::ProgramRun;

// Runs the program through the shell with standard error in a scratch file.
ProgramRun RunProgram(const std::string& arguments) {
    const std::filesystem::path errFile = std::filesystem::temp_directory_path() /
                                          ("korvel-cli-err-" + std::to_string(::getpid()) + ".txt");
    ProgramRun run = korvel::testing::RunShellCommand(
        std::string(KORVEL_CLI_PROGRAM) + " " + arguments, errFile.string());
    std::filesystem::remove(errFile);
    return run;
}

// Every line of standard error names the program.
void ExpectPrefixedLines(const std::string& err) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_THAT(line, ::testing::StartsWith("korvel-cli: "));
    }
}

TEST(Program, UsageFaultsExitWithTwoOnStandardError) {
    for (const char* arguments :
         {"", "--bogus", "read --json --raw", "write", "frobnicate",
          "--demo --port /dev/ttyUSB0 read", "write x.json --clock 2025-02-30T00:00:00",
          "check /nonexistent"}) {
        const ProgramRun run = RunProgram(arguments);
        EXPECT_EQ(run.code, exit_code::kUsage) << arguments;
        // Under --json the fault is also the one outcome object a script reads.
        if (std::string_view(arguments).find("--json") != std::string_view::npos) {
            EXPECT_THAT(run.out, HasSubstr("\"exit_code\": 2")) << arguments;
        } else {
            EXPECT_EQ(run.out, "") << arguments;
        }
        EXPECT_NE(run.err, "") << arguments;
        ExpectPrefixedLines(run.err);
    }
}

TEST(Program, HelpAndVersionGoToStandardOutput) {
    const ProgramRun help = RunProgram("--help");
    EXPECT_EQ(help.code, exit_code::kDone);
    EXPECT_THAT(help.out, HasSubstr("Exit codes"));
    EXPECT_EQ(help.err, "");
    const ProgramRun version = RunProgram("--version");
    EXPECT_EQ(version.code, exit_code::kDone);
    EXPECT_THAT(version.out, ::testing::MatchesRegex("korvel-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"));
}

TEST(Program, DemoReadJsonWrittenBackIsNoChange) {
    const ProgramRun read = RunProgram("--demo read --json");
    ASSERT_EQ(read.code, exit_code::kDone) << read.err;
    EXPECT_THAT(read.out, ::testing::StartsWith("{\n  \"korvel\": 1,"));
    ExpectPrefixedLines(read.err);

    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("korvel-cli-demo-" + std::to_string(::getpid()) + ".json");
    std::ofstream(file) << read.out;
    const ProgramRun write = RunProgram("write " + file.string() + " --demo");
    std::filesystem::remove(file);
    EXPECT_EQ(write.code, exit_code::kDone) << write.err;
    EXPECT_EQ(write.out, "no change\n");
    ExpectPrefixedLines(write.err);

    const ProgramRun quiet = RunProgram("--demo --quiet read --raw");
    EXPECT_EQ(quiet.code, exit_code::kDone);
    EXPECT_EQ(quiet.err, "");
    EXPECT_THAT(quiet.out, ::testing::StartsWith("AA 55 94 CC 54 32 33"));
}

TEST(Program, NoLoggerOnANamedPortExitsWithOne) {
    const ProgramRun run = RunProgram("read --port /dev/korvel-no-such-port");
    EXPECT_EQ(run.code, exit_code::kNothingSaved);
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("/dev/korvel-no-such-port is gone"));
    ExpectPrefixedLines(run.err);
}

} // namespace
} // namespace korvel::cli
