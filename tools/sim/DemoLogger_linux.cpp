#include "tools/sim/DemoLogger.h"

#include "tools/sim/LoggerSimulator.h"

namespace korvel::sim {

// The pseudo-terminal simulator: the same serial device code as a real logger.
struct DemoLogger::Running {
    explicit Running(LoggerSimulator::Options options) : simulator(std::move(options)) {}
    LoggerSimulator simulator;
};

DemoLogger::DemoLogger() {
    LoggerSimulator::Options options;
    options.pace = true;
    running_ = std::make_unique<Running>(std::move(options));
}

DemoLogger::~DemoLogger() = default;

const std::string& DemoLogger::PortName() const {
    return running_->simulator.PortPath();
}

DemoLogger::Opener DemoLogger::OpenerWith(Opener others) const {
    return others;
}

} // namespace korvel::sim
