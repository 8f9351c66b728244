// Finding the logger: korvel-cli read with the logger on the fifth of eight
// ports (pseudo-terminals; the other seven never answer; the logger paces its
// bytes at 9600 baud), searching every port at once, beside the same read with
// --port naming the logger's port, and beside the window's scan, which polls one
// port every 3 s: 5 x 3000 ms plus one round trip.
// Usage: discovery_bench [PORT x 8]. Without ports it starts its own simulated
// loggers (Linux); with eight, it searches those as the system's list, the
// logger on the fifth (how the Windows stage measures it under Wine, with
// korvel-sim behind eight COM ports).
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "protocol/Frame.h"
#include "protocol/LoggerLink.h"
#include "tools/sim/LoggerSimulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using korvel::sim::LoggerSimulator;
namespace link = korvel::protocol::link;

constexpr int kRounds = 7;
constexpr std::size_t kPorts = 8;
constexpr std::size_t kLoggerAt = 4; // the fifth
constexpr std::chrono::milliseconds kWindowScanInterval{3000};

double milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One `korvel-cli read` in this process; its time, or a negative one on failure.
double timedRead(const std::vector<std::string>& arguments, const std::vector<std::string>& ports) {
    const auto line = korvel::cli::ParseCommandLine(arguments);
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    korvel::cli::Environment env = korvel::cli::SystemEnvironment(out, err, in, arguments);
    env.listPorts = [&ports] { return ports; };
    env.describePorts = [](const std::vector<std::string>& paths) {
        std::vector<korvel::platform::PortInfo> infos;
        for (const std::string& path : paths) {
            korvel::platform::PortInfo info;
            info.path = path;
            info.usb = true;
            infos.push_back(std::move(info));
        }
        return infos;
    };
    const auto start = Clock::now();
    const int code = korvel::cli::Run(*line.options, env);
    const double took = milliseconds(Clock::now() - start);
    if (code != korvel::cli::exit_code::kDone) {
        std::fprintf(stderr, "read failed (%d): %s", code, err.str().c_str());
        return -1;
    }
    return took;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::unique_ptr<LoggerSimulator>> loggers;
    std::vector<std::string> ports(argv + 1, argv + argc);
    if (ports.empty() && LoggerSimulator::Available()) {
        for (std::size_t i = 0; i < kPorts; ++i) {
            LoggerSimulator::Options options;
            options.pace = true;
            options.mode = i == kLoggerAt ? korvel::sim::Mode::Normal : korvel::sim::Mode::Silent;
            loggers.push_back(std::make_unique<LoggerSimulator>(std::move(options)));
            ports.push_back(loggers.back()->PortPath());
        }
    }
    if (ports.size() != kPorts) {
        std::fprintf(stderr,
                     "usage: discovery_bench [PORT x %zu], the logger on the fifth; "
                     "without ports only where simulated loggers run (Linux)\n",
                     kPorts);
        return 2;
    }
    std::vector<double> named;
    std::vector<double> searched;
    for (int round = 0; round < kRounds; ++round) {
        const double withPort = timedRead({"--quiet", "read", "--port", ports[kLoggerAt]}, ports);
        const double search = timedRead({"--quiet", "read"}, ports);
        if (withPort < 0 || search < 0) {
            return 1;
        }
        named.push_back(withPort);
        searched.push_back(search);
    }
    const double roundTrip = milliseconds(
        link::kPortPause +
        link::kByteTime * static_cast<long long>(korvel::protocol::frame_size::kRead +
                                                 korvel::protocol::frame_size::kReadReply) +
        link::kReadInterval);
    const double window = milliseconds(kWindowScanInterval) * (kLoggerAt + 1) + roundTrip;
    std::printf("read with --port (the logger's):        %7.1f ms median of %d (%.1f to %.1f)\n",
                median(named), kRounds, *std::min_element(named.begin(), named.end()),
                *std::max_element(named.begin(), named.end()));
    std::printf("read searching %zu ports, logger 5th:    %7.1f ms median of %d (%.1f to %.1f)\n",
                kPorts, median(searched), kRounds,
                *std::min_element(searched.begin(), searched.end()),
                *std::max_element(searched.begin(), searched.end()));
    std::printf("search cost over --port:                %7.1f ms (goal 250 ms)\n",
                median(searched) - median(named));
    std::printf("window scan, one port every 3 s:        %7.1f ms (computed: 5 x 3000 ms + "
                "%.1f ms round trip)\n",
                window, roundTrip);
    return 0;
}
