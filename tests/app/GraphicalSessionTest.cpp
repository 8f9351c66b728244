// Start-up without a display: judged before Qt starts, told plainly, and the
// program run without DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM.
#include "app/GraphicalSession.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace korvel::app {
namespace {

using Environment = std::map<std::string, std::string>;

bool Judge(const Environment& variables, const std::vector<std::string>& arguments) {
    return HasGraphicalSession(
        [&variables](const char* name) -> const char* {
            const auto found = variables.find(name);
            return found == variables.end() ? nullptr : found->second.c_str();
        },
        arguments);
}

TEST(GraphicalSessionTest, NeedsADisplayOrAChosenPlatform) {
    const struct {
        const char* name;
        Environment variables;
        std::vector<std::string> arguments;
        bool session;
    } cases[] = {
        {"nothing set", {}, {"--demo"}, false},
        {"empty values count as unset", {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, {}, false},
        {"unrelated variables", {{"TERM", "xterm"}, {"XDG_SESSION_TYPE", "tty"}}, {}, false},
        {"X11", {{"DISPLAY", ":0"}}, {}, true},
        {"Wayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, {}, true},
        {"platform from the environment", {{"QT_QPA_PLATFORM", "offscreen"}}, {}, true},
        {"platform from the command line", {}, {"-platform", "offscreen"}, true},
        {"a platform name alone is no option", {}, {"offscreen"}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Judge(c.variables, c.arguments), c.session);
    }
}

TEST(GraphicalSessionTest, TellsWhatIsMissingAndNamesTheCliOnlyWhenInstalled) {
    const std::string plain = NoGraphicalSessionText(false);
    EXPECT_NE(plain.find("graphical session"), std::string::npos);
    EXPECT_NE(plain.find("xvfb-run korvel --demo"), std::string::npos);
    EXPECT_EQ(plain.find("korvel-cli"), std::string::npos);
    EXPECT_NE(NoGraphicalSessionText(true).find("korvel-cli"), std::string::npos);
}

struct Outcome {
    int exitCode = -1;
    std::string output; // standard output and standard error
};

// Runs `program` with `arguments` and no display in its environment, bounded.
Outcome RunWithoutDisplay(const std::filesystem::path& program, const std::string& arguments,
                          const std::filesystem::path& capture) {
    const std::string command = "timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                program.string() + " " + arguments + " >" + capture.string() +
                                " 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    Outcome run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(capture);
    std::ostringstream text;
    text << in.rdbuf();
    run.output = text.str();
    return run;
}

class KorvelWithoutDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("korvel-no-display-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    Outcome run(const std::filesystem::path& program, const std::string& arguments) {
        return RunWithoutDisplay(program, arguments, dir_ / "output.txt");
    }

    std::filesystem::path dir_;
};

TEST_F(KorvelWithoutDisplay, SaysSoAndExitsWithOne) {
    const Outcome run = this->run(KORVEL_PROGRAM, "--demo");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("graphical session"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("xvfb-run"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("korvel-cli"), std::string::npos) << run.output;
}

TEST_F(KorvelWithoutDisplay, AnswersHelpAndVersion) {
    const Outcome help = run(KORVEL_PROGRAM, "--help");
    EXPECT_EQ(help.exitCode, 0) << help.output;
    EXPECT_NE(help.output.find("usage: korvel"), std::string::npos) << help.output;
    const Outcome version = run(KORVEL_PROGRAM, "--version");
    EXPECT_EQ(version.exitCode, 0) << version.output;
    EXPECT_NE(version.output.find("korvel "), std::string::npos) << version.output;
}

// As the package installs it: started through a link whose directory also
// holds korvel-cli.
TEST_F(KorvelWithoutDisplay, NamesTheCliInstalledBesideIt) {
    const std::filesystem::path link = dir_ / "korvel";
    std::filesystem::create_symlink(KORVEL_PROGRAM, link);
    const std::filesystem::path cli = dir_ / "korvel-cli";
    std::ofstream(cli) << "#!/bin/sh\n";
    std::filesystem::permissions(cli, std::filesystem::perms::owner_all);

    const Outcome run = this->run(link, "");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_NE(run.output.find("korvel-cli"), std::string::npos) << run.output;
}

} // namespace
} // namespace korvel::app
