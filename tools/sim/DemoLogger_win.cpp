#include "tools/sim/DemoLogger.h"

#include "tools/sim/SimulatedDevice.h"

namespace korvel::sim {

// No COM port has this name, so it cannot hide a real one.
struct DemoLogger::Running {
    std::shared_ptr<SimulatedLogger> logger;
    std::string portName = "DEMO";
};

DemoLogger::DemoLogger() {
    SimulatedLogger::Options options;
    options.pace = true;
    running_ = std::make_unique<Running>();
    running_->logger = std::make_shared<SimulatedLogger>(std::move(options));
}

DemoLogger::~DemoLogger() = default;

const std::string& DemoLogger::PortName() const {
    return running_->portName;
}

DemoLogger::Opener DemoLogger::OpenerWith(Opener others) const {
    return [logger = running_->logger, portName = running_->portName,
            others = std::move(others)](const std::string& name) {
        if (name != portName) {
            return others(name);
        }
        platform::OpenResult opened;
        opened.device = std::make_unique<SimulatedDevice>(logger);
        return opened;
    };
}

} // namespace korvel::sim
