#pragma once
// Finding the logger: which ports are worth a read command, trying them all at
// once, and deciding from their answers.
//
// Every candidate is opened at the same time, the command goes to all after
// the logger's pause, and each port's first chunk decides it. A port from the
// system's list that shows no first byte within the first-byte limit is silent
// then, so a search over many ports takes about one read, not one read per
// port nor the time a silent port is given when named.

#include "cli/EventQueue.h"
#include "cli/Exchange.h"
#include "cli/LoggerPort.h"
#include "platform/PortInfo.h"
#include "protocol/ParameterBlock.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvel::cli {

// The ports a search tries (the window's rule too).
using platform::CandidatePorts;

// `paths` with every device once: a by-id link and the node it names are one
// port. `resolve` gives a path's canonical form (empty when it has none).
std::vector<std::string>
DistinctPorts(const std::vector<std::string>& paths,
              const std::function<std::string(const std::string&)>& resolve);

struct Probe {
    enum class Result { Logger, BadReply, Silent, Gone, OpenFailed };
    std::string path;
    Result result = Result::Silent;
    std::string problem; // BadReply, Gone, OpenFailed: what happened, what to do
    platform::SerialError openError = platform::SerialError::None;
    protocol::Block reply{};          // Logger: the parameter block
    std::unique_ptr<LoggerPort> port; // Logger: still open
};

// Where the ports of a probe come from. The user's own (--port, --demo) each
// get the whole silence limit to answer. Ports from the system's list are
// silent once they have shown no first byte within timing.firstByteAfter of
// the command, even when their answer begins later and is complete before the
// others are done: the outcome of one port never depends on the others.
enum class PortOrigin { Named, Listed };

// Opens every port of `paths` at once, sends the read command to each after the
// pause and sorts them by their first chunk. Ports that answered as a logger
// stay open; the others are closed.
std::vector<Probe> ProbePorts(EventQueue& queue, const std::vector<std::string>& paths,
                              const Timing& timing, Trace* trace,
                              const serial::TComm::DeviceOpener& opener, PortOrigin origin);

struct Choice {
    enum class Kind { Found, None, Several };
    Kind kind = Kind::None;
    std::size_t index = 0; // Found: the probe
    std::string message;   // None, Several: what to tell the user, with what to do next
};

// One logger found, none (with each port's reason), or several.
Choice ChooseLogger(const std::vector<Probe>& probes);

// The serial number in a parameter block, as stored.
std::string SerialNumberOf(const protocol::Block& block);

} // namespace korvel::cli
