// korvel-sim: a simulated logger on a pseudo-terminal. Prints the port path on
// standard output and answers the tool until SIGINT or SIGTERM.

#include "tools/sim/LoggerSimulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

using korvel::sim::LoggerSimulator;

constexpr int kUsageError = 2;

constexpr std::string_view kUsage =
    "Usage: korvel-sim [options]\n"
    "A simulated logger on a pseudo-terminal; prints its port path and runs until stopped.\n"
    "\n"
    "  --pace               send at the pace of a 9600-baud line (about 1.04 ms a byte)\n"
    "  --block FILE         start with the block in FILE (210 hex byte pairs)\n"
    "  --save-to FILE       write the block to FILE after every save\n"
    "  --mode MODE          normal, silent, garbage, bad-checksum, split or short\n"
    "  --delay MS           wait MS milliseconds before every answer\n"
    "  --help               show this text\n"
    "  --version            show the version\n";

struct Arguments {
    LoggerSimulator::Options options;
    std::string saveTo;
};

[[noreturn]] void UsageError(const std::string& message) {
    std::cerr << "korvel-sim: " << message << "\n\n" << kUsage;
    std::exit(kUsageError);
}

std::optional<long> Milliseconds(const std::string& text) {
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used);
        if (used == text.size() && value >= 0) {
            return value;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

Arguments Parse(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                UsageError(option + " needs a value");
            }
            return argv[++i];
        };
        if (option == "--help") {
            std::cout << kUsage;
            std::exit(EXIT_SUCCESS);
        } else if (option == "--version") {
            std::cout << "korvel-sim " << KORVEL_VERSION << "\n";
            std::exit(EXIT_SUCCESS);
        } else if (option == "--pace") {
            arguments.options.pace = true;
        } else if (option == "--block") {
            const auto loaded = korvel::sim::LoadBlockFile(value());
            if (!loaded.block) {
                std::cerr << "korvel-sim: " << loaded.error << "\n";
                std::exit(EXIT_FAILURE);
            }
            arguments.options.block = *loaded.block;
        } else if (option == "--save-to") {
            arguments.saveTo = value();
        } else if (option == "--mode") {
            const std::string name = value();
            const auto mode = korvel::sim::ModeFromName(name);
            if (!mode) {
                UsageError("unknown mode '" + name + "'");
            }
            arguments.options.mode = *mode;
        } else if (option == "--delay") {
            const std::string text = value();
            const auto delay = Milliseconds(text);
            if (!delay) {
                UsageError("'" + text + "' is not a number of milliseconds");
            }
            arguments.options.replyDelay = std::chrono::milliseconds(*delay);
        } else {
            UsageError("unknown option '" + option + "'");
        }
    }
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    Arguments arguments = Parse(argc, argv);
    if (!arguments.saveTo.empty()) {
        arguments.options.onSave = [path = arguments.saveTo](const korvel::sim::Block& block) {
            if (const std::string error = korvel::sim::SaveBlockFile(path, block); !error.empty()) {
                std::cerr << "korvel-sim: " << error << "\n";
            }
        };
    }

    // Blocked before the worker starts, so it inherits the mask and only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        LoggerSimulator simulator(std::move(arguments.options));
        std::cout << simulator.PortPath() << std::endl;
        int received = 0;
        sigwait(&stopSignals, &received);
    } catch (const std::system_error& error) {
        std::cerr << "korvel-sim: " << error.what() << "\n";
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
