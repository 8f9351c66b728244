#pragma once
// The command line of korvel, read without Qt so that --help and --version work
// before any display is opened. Arguments exclude the program name.

#include <string>
#include <vector>

namespace korvel::app {

struct Options {
    // --port PATH, repeatable: every Read lists exactly these ports.
    std::vector<std::string> ports;
    // --all-ports: a Read tries every serial port, not only the USB ones.
    bool allPorts = false;
    // --demo: a simulated logger in the process, the only port listed.
    bool demo = false;
    // --screenshot FILE: save a picture of the window after start-up, then quit.
    std::string screenshot;
};

enum class Request { Run, Help, Version, Invalid };

struct CommandLine {
    Request request = Request::Run;
    Options options;   // meaningful for Run
    std::string error; // set for Invalid, e.g. "unknown option '--colour'"
    // For Invalid: the argument at fault. One with a single leading dash may be
    // Qt's own (-platform, -style), to be read again once Qt has taken those.
    std::string argument;
};

// The first --help or --version anywhere on the line wins; otherwise the first
// fault makes the line Invalid. Options taking a value accept "--port PATH" and "--port=PATH".
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Two lines for standard error after a fault.
std::string UsageText();
// The full help for --help.
std::string HelpText();
// "korvel 3.0.0".
std::string VersionText();

} // namespace korvel::app
