// The command line of korvel, and the port lister that --port gives the window.
#include "app/CommandLine.h"
#include "app/ProductionServices.h"

#include <gtest/gtest.h>

namespace korvel::app {
namespace {

using Args = std::vector<std::string>;
using Ports = std::vector<std::string>;

TEST(CommandLineTest, ReadsWhatTheUserAsksFor) {
    const struct {
        const char* name;
        Args arguments;
        Request request;
        Ports ports;
        bool demo;
        std::string screenshot;
    } cases[] = {
        {"nothing", {}, Request::Run, {}, false, ""},
        {"ports in both spellings, in the order given",
         {"--port", "/dev/ttyUSB1", "--port=/tmp/sim0"},
         Request::Run,
         {"/dev/ttyUSB1", "/tmp/sim0"},
         false,
         ""},
        {"demo", {"--demo"}, Request::Run, {}, true, ""},
        {"screenshot", {"--screenshot", "/tmp/k.png"}, Request::Run, {}, false, "/tmp/k.png"},
        {"help", {"--help"}, Request::Help, {}, false, ""},
        {"short help after a fault", {"--colour", "-h"}, Request::Help, {}, false, ""},
        {"version", {"--demo", "--version"}, Request::Version, {}, false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.request, c.request);
        EXPECT_EQ(line.error, "");
        EXPECT_EQ(line.options.ports, c.ports);
        EXPECT_EQ(line.options.demo, c.demo);
        EXPECT_EQ(line.options.screenshot, c.screenshot);
    }
}

TEST(CommandLineTest, RefusesWhatItDoesNotKnow) {
    const struct {
        const char* name;
        Args arguments;
        std::string error;
        std::string argument;
    } cases[] = {
        {"unknown option", {"--demo", "--colour"}, "unknown option '--colour'", "--colour"},
        {"single-dash option", {"-reverse"}, "unknown option '-reverse'", "-reverse"},
        {"stray word", {"ttyUSB0"}, "unknown option 'ttyUSB0'", "ttyUSB0"},
        {"longer name sharing a prefix", {"--ports=x"}, "unknown option '--ports=x'", "--ports=x"},
        {"port without a path", {"--port"}, "option '--port' needs a value", "--port"},
        {"port with an empty path", {"--port="}, "option '--port' needs a value", "--port="},
        {"screenshot without a file",
         {"--screenshot"},
         "option '--screenshot' needs a value",
         "--screenshot"},
        {"demo with ports",
         {"--demo", "--port", "/dev/ttyS0"},
         "--demo lists its own port and cannot be combined with --port",
         "--demo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.request, Request::Invalid);
        EXPECT_EQ(line.error, c.error);
        EXPECT_EQ(line.argument, c.argument);
    }
    EXPECT_EQ(VersionText(), "korvel 3.0.0");
    EXPECT_NE(UsageText().find("usage: korvel"), std::string::npos);
}

TEST(CommandLineTest, GivenPortsAreListedSortedOnEveryRead) {
    FixedPortLister lister({"COM2", "COM10", "com1", "COM3"});
    EXPECT_EQ(lister.listPorts(), (Ports{"com1", "COM10", "COM2", "COM3"}));
    EXPECT_EQ(lister.listPorts(), (Ports{"com1", "COM10", "COM2", "COM3"}));
}

} // namespace
} // namespace korvel::app
