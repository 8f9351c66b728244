// Windows has no pseudo-terminal to put a simulated logger behind, so this
// build has none; korvel-cli refuses --demo before it gets here.
#include "tools/sim/LoggerSimulator.h"

#include <system_error>

namespace korvel::sim {

bool LoggerSimulator::Available() {
    return false;
}

LoggerSimulator::LoggerSimulator(Options) {
    throw std::system_error(std::make_error_code(std::errc::function_not_supported),
                            "the simulated logger needs a pseudo-terminal, which only the Linux "
                            "build has");
}

LoggerSimulator::~LoggerSimulator() = default;

} // namespace korvel::sim
