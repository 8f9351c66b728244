// `list`: the serial ports, described, and with --probe what answers on each.
#include "cli/Command.h"

#include "platform/PortList.h"
#include "protocol/Printable.h"
#include "protocol/SettingsCodec.h"

#include <algorithm>

namespace korvel::cli {

namespace {

using settingsfile::Member;
using settingsfile::Node;

Node text(const std::string& utf8) {
    return Node::String(utf8);
}

Node probeNode(const Probe* probe) {
    if (probe == nullptr) {
        return Node::Null();
    }
    switch (probe->result) {
    case Probe::Result::Logger:
        return Node::Object(
            {{"result", text("logger")},
             {"serial_number", ValueNode(settingsfile::QuotedText(SerialNumberOf(probe->reply)))}});
    case Probe::Result::Silent:
        return Node::Object({{"result", text("silent")}});
    case Probe::Result::OpenFailed:
        return Node::Object({{"result", text("not_opened")}, {"reason", text(probe->problem)}});
    default:
        return Node::Object({{"result", text("no_logger")}, {"reason", text(probe->problem)}});
    }
}

std::string probeText(const Probe* probe, bool probing) {
    if (probe == nullptr) {
        return probing ? "not tried (not a USB serial port; --all-ports tries it)" : "";
    }
    switch (probe->result) {
    case Probe::Result::Logger:
        return "logger " + settingsfile::QuotedText(SerialNumberOf(probe->reply));
    case Probe::Result::Silent:
        return "no answer";
    default:
        return probe->problem;
    }
}

} // namespace

int RunListCommand(const CommandContext& context) {
    const Options& options = context.options;
    Environment& env = context.env;
    const Reporter& report = context.report;
    PortSession session;
    if (const int code = OpenPortSession(context, session); code != exit_code::kDone) {
        return code;
    }
    const sim::DemoLogger* demo = session.demo.get();
    Trace* trace = session.trace;
    EventQueue queue;
    std::vector<platform::PortInfo> ports;
    std::vector<std::string> candidates;
    if (demo != nullptr || !options.ports.empty()) {
        const auto given = PortsToTry(context, demo);
        ports = env.describePorts(*given);
        candidates = *given;
    } else {
        const auto listed = env.listPorts();
        if (!listed) {
            report.Error(std::string("cannot list the serial ports (") + platform::kPortListHint +
                         ")");
            return exit_code::kNothingSaved;
        }
        ports = env.describePorts(*listed);
        candidates = CandidatePorts(ports, options.allPorts);
    }
    std::vector<Probe> probes;
    if (options.probe) {
        const PortOrigin origin =
            demo != nullptr || !options.ports.empty() ? PortOrigin::Named : PortOrigin::Listed;
        probes = ProbePorts(queue, candidates, env.timing, trace, env.opener, origin);
    }
    const auto probeOf = [&probes](const std::string& path) -> const Probe* {
        for (const Probe& probe : probes) {
            if (probe.path == path) {
                return &probe;
            }
        }
        return nullptr;
    };
    if (options.json) {
        std::vector<Node> items;
        for (const platform::PortInfo& port : ports) {
            const auto optional = [](const std::string& value) {
                return value.empty() ? Node::Null() : text(value);
            };
            std::vector<Member> members = {{"path", text(port.path)},
                                           {"by_id", optional(port.byIdName)},
                                           {"driver", optional(port.driver)},
                                           {"usb_id", optional(port.usbId)},
                                           {"manufacturer", optional(port.manufacturer)},
                                           {"product", optional(port.product)},
                                           {"serial_number", optional(port.serialNumber)},
                                           {"location", optional(port.location)}};
            if (options.probe) {
                members.push_back({"probe", probeNode(probeOf(port.path))});
            }
            items.push_back(Node::Object(std::move(members)));
        }
        env.out << settingsfile::PrettyText(
            OutcomeObject(exit_code::kDone, {}, {{"ports", Node::Array(std::move(items))}}));
        return exit_code::kDone;
    }
    if (ports.empty()) {
        report.Progress("no serial ports");
    }
    for (const platform::PortInfo& port : ports) {
        env.out << protocol::PrintableText(port.path) << '\n';
        std::vector<std::pair<std::string, std::string>> rows;
        const auto add = [&rows](const char* key, const std::string& value) {
            if (!value.empty()) {
                rows.emplace_back(key, value);
            }
        };
        add("by-id", port.byIdName);
        add("driver", port.driver);
        add("usb", port.usbId);
        add("manufacturer", port.manufacturer);
        add("product", port.product);
        add("serial", port.serialNumber);
        add("location", port.location);
        if (options.probe) {
            add("probe", probeText(probeOf(port.path), true));
        }
        PrintAligned(env.out, rows, "  ");
    }
    return exit_code::kDone;
}

} // namespace korvel::cli
