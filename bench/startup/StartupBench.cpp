// Runs the window program and its floor as fresh processes and prints, side by
// side: the time from the spawn to the first painted frame and the peak
// resident memory (medians of several runs), then the CPU each uses while
// idling. Usage: startup_bench <startup_korvel> <startup_floor> [runs] [idle seconds]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

long long MonotonicNs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

struct Child {
    pid_t pid = -1;
    int output = -1;
    long long spawnedNs = 0;
};

struct Outcome {
    std::map<std::string, double> values; // the key=value lines it printed
    double startupMs = 0;
    double peakRssMiB = 0;
    bool ok = false;
};

Child Spawn(const std::string& program, const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    Child child;
    child.spawnedNs = MonotonicNs();
    if (::posix_spawn(&child.pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        child.pid = -1;
    }
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    child.output = pipeEnds[0];
    return child;
}

Outcome Finish(const Child& child) {
    Outcome outcome;
    if (child.pid < 0) {
        return outcome;
    }
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(child.output, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(child.output);
    int status = 0;
    rusage usage{};
    ::wait4(child.pid, &status, 0, &usage);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            outcome.values[line.substr(0, equals)] = std::atof(line.c_str() + equals + 1);
        }
        start = end + 1;
    }
    outcome.ok =
        WIFEXITED(status) && WEXITSTATUS(status) == 0 && outcome.values.count("painted_ns");
    if (outcome.ok) {
        outcome.startupMs = (outcome.values["painted_ns"] - child.spawnedNs) / 1e6;
    }
    outcome.peakRssMiB = usage.ru_maxrss / 1024.0; // kilobytes on Linux
    return outcome;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <startup_korvel> <startup_floor> [runs] [idle seconds]\n",
                     argv[0]);
        return 2;
    }
    const std::string korvel = argv[1];
    const std::string floor = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    const int idleSeconds = argc > 4 ? std::atoi(argv[4]) : 30;

    std::vector<double> startup[2];
    std::vector<double> rss[2];
    // Alternating, so that a disturbance of the machine hits both alike; one
    // unmeasured run each first warms the file cache.
    for (int run = -1; run < runs; ++run) {
        for (int which = 0; which < 2; ++which) {
            const Outcome outcome = Finish(Spawn(which == 0 ? korvel : floor, {}));
            if (!outcome.ok) {
                std::fprintf(stderr, "%s did not paint and exit cleanly\n",
                             which == 0 ? korvel.c_str() : floor.c_str());
                return 1;
            }
            if (run >= 0) {
                startup[which].push_back(outcome.startupMs);
                rss[which].push_back(outcome.peakRssMiB);
            }
        }
    }
    std::printf("start-up to first painted frame, median of %d:\n", runs);
    std::printf("  korvel  %7.1f ms   floor (bare Qt window, same picture) %7.1f ms   ratio %.2f\n",
                Median(startup[0]), Median(startup[1]), Median(startup[0]) / Median(startup[1]));
    std::printf("peak resident memory, median of %d:\n", runs);
    std::printf("  korvel  %7.1f MiB  floor                                %7.1f MiB  ratio %.2f\n",
                Median(rss[0]), Median(rss[1]), Median(rss[0]) / Median(rss[1]));

    if (idleSeconds > 0) {
        // Both idle at the same time; neither does enough to disturb the other.
        const std::string seconds = std::to_string(idleSeconds);
        const Child idleKorvel = Spawn(korvel, {"--idle-seconds", seconds});
        const Child idleFloor = Spawn(floor, {"--idle-seconds", seconds});
        Outcome outcomes[2] = {Finish(idleKorvel), Finish(idleFloor)};
        if (!outcomes[0].ok || !outcomes[1].ok || !outcomes[0].values.count("idle_cpu_ms") ||
            !outcomes[1].values.count("idle_cpu_ms")) {
            std::fprintf(stderr, "an idle run failed\n");
            return 1;
        }
        std::printf(
            "CPU while idle for %d s (clock running; korvel with its port open on a pty):\n",
            idleSeconds);
        std::printf("  korvel  %7.1f ms   floor (bare window, 995 ms label timer) %7.1f ms\n",
                    outcomes[0].values["idle_cpu_ms"], outcomes[1].values["idle_cpu_ms"]);
    }
    return 0;
}
