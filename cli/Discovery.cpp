#include "cli/Discovery.h"

#include "protocol/Frame.h"
#include "protocol/SettingsCodec.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <thread>

namespace korvel::cli {

namespace {

using namespace korvel::protocol;

std::string describe(const Probe& probe) {
    switch (probe.result) {
    case Probe::Result::Logger:
        return probe.path + " (logger " + SerialNumberOf(probe.reply) + ")";
    case Probe::Result::Silent:
        return probe.path + " (" + (probe.problem.empty() ? "no answer" : probe.problem) + ")";
    default:
        return probe.path + " (" + probe.problem + ")";
    }
}

} // namespace

std::vector<std::string>
DistinctPorts(const std::vector<std::string>& paths,
              const std::function<std::string(const std::string&)>& resolve) {
    std::vector<std::string> distinct;
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        const std::string canonical = resolve(path);
        if (seen.insert(canonical.empty() ? path : canonical).second) {
            distinct.push_back(path);
        }
    }
    return distinct;
}

std::vector<Probe> ProbePorts(EventQueue& queue, const std::vector<std::string>& paths,
                              const Timing& timing, Trace* trace,
                              const serial::TComm::DeviceOpener& opener, PortOrigin origin) {
    std::vector<Probe> probes(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        Probe& probe = probes[i];
        probe.path = paths[i];
        probe.port = std::make_unique<LoggerPort>(queue, paths[i], trace, opener);
        if (std::optional<OpenFailure> failure = probe.port->Open()) {
            probe.result = Probe::Result::OpenFailed;
            probe.problem = failure->message;
            probe.openError = failure->error;
            probe.port.reset();
        }
    }
    // The logger's pause between opening the port and the command, once for all.
    std::this_thread::sleep_for(timing.openPause);
    for (Probe& probe : probes) {
        if (probe.port) {
            DropUnasked(*probe.port, queue);
            probe.port->Send(kReadCommand.data(), kReadCommand.size());
        }
    }
    const auto sent = EventQueue::Clock::now();
    const auto answered = [](const Probe& probe) {
        return !probe.port || probe.port->HasChunk() || probe.port->Gone();
    };
    // Ports counted silent before the silence limit: no first byte in time.
    std::vector<bool> tooLate(probes.size(), false);
    if (origin == PortOrigin::Listed) {
        const auto started = [&] {
            return std::all_of(probes.begin(), probes.end(), [&](const Probe& probe) {
                return answered(probe) || probe.port->Begun() || !probe.port->TellsFirstBytes();
            });
        };
        queue.PumpUntil(started, sent + timing.firstByteAfter);
        // Notices the reader posted in time count, even if not yet delivered.
        queue.PumpUntil([] { return false; }, EventQueue::Clock::now());
        for (std::size_t i = 0; i < probes.size(); ++i) {
            const Probe& probe = probes[i];
            tooLate[i] = !answered(probe) && !probe.port->Begun() && probe.port->TellsFirstBytes();
        }
    }
    const auto settled = [&] {
        for (std::size_t i = 0; i < probes.size(); ++i) {
            if (!tooLate[i] && !answered(probes[i])) {
                return false;
            }
        }
        return true;
    };
    queue.PumpUntil(settled, sent + SilenceLimit(timing));

    // The ports that are no logger all stop at once: each one's stop may wait
    // for its read to end (on Windows, up to one slice of it).
    for (std::size_t i = 0; i < probes.size(); ++i) {
        if (probes[i].port && (tooLate[i] || !probes[i].port->HasChunk())) {
            probes[i].port->BeginClose();
        }
    }
    for (std::size_t i = 0; i < probes.size(); ++i) {
        Probe& probe = probes[i];
        if (!probe.port) {
            continue;
        }
        if (tooLate[i]) {
            if (probe.port->Begun()) {
                probe.problem = "began to answer later than " +
                                std::to_string(timing.firstByteAfter.count()) +
                                " ms; name the port with --port to wait for it";
            }
        } else if (probe.port->HasChunk()) {
            const ReplyCheck check = CheckReadReply(probe.port->TakeChunk());
            if (check.block) {
                probe.result = Probe::Result::Logger;
                probe.reply = *check.block;
                continue;
            }
            probe.result = Probe::Result::BadReply;
            probe.problem = check.problem;
        } else if (probe.port->Gone()) {
            probe.result = Probe::Result::Gone;
            probe.problem = "went away before it answered";
        }
        probe.port.reset();
    }
    return probes;
}

Choice ChooseLogger(const std::vector<Probe>& probes) {
    std::vector<std::size_t> loggers;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        if (probes[i].result == Probe::Result::Logger) {
            loggers.push_back(i);
        }
    }
    Choice choice;
    if (loggers.size() == 1) {
        choice.kind = Choice::Kind::Found;
        choice.index = loggers.front();
        return choice;
    }
    if (loggers.size() > 1) {
        choice.kind = Choice::Kind::Several;
        choice.message = std::to_string(loggers.size()) + " loggers answered:";
        for (const std::size_t i : loggers) {
            choice.message += " " + describe(probes[i]);
        }
        choice.message += "; choose one with --port";
        return choice;
    }
    choice.kind = Choice::Kind::None;
    if (probes.empty()) {
        choice.message = "no USB serial port found: plug the logger in, or name its port with "
                         "--port (--all-ports tries every serial port)";
        return choice;
    }
    // A port that could not be opened says what to do itself.
    for (const Probe& probe : probes) {
        if (probe.result == Probe::Result::OpenFailed && probes.size() == 1) {
            choice.message = probe.problem;
            return choice;
        }
    }
    choice.message = "no logger answered:";
    for (std::size_t i = 0; i < probes.size(); ++i) {
        choice.message += (i == 0 ? " " : ", ") + describe(probes[i]);
    }
    choice.message += "; check that the logger is plugged in and switched on";
    return choice;
}

std::string SerialNumberOf(const Block& block) {
    return DecodeSettings(block).serialNumber;
}

} // namespace korvel::cli
