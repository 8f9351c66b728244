// Windows has no pseudo-terminal to put a simulated logger behind; the
// programs' --demo answers in-process there (DemoLogger_win.cpp), and the tests
// that need a terminal skip themselves.
#include "tools/sim/LoggerSimulator.h"

#include <system_error>

namespace korvel::sim {

bool LoggerSimulator::Available() {
    return false;
}

LoggerSimulator::LoggerSimulator(Options options) : logger_(std::move(options)) {
    throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                            "the simulated logger on a pseudo-terminal needs the Linux build");
}

LoggerSimulator::~LoggerSimulator() = default;

} // namespace korvel::sim
