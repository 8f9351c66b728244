// The shared history's cost: four benches of 32 simulated loggers each
// provisioning at once into one private PostgreSQL server, each korvel-cli its
// own process with its own history, against one bench of 32 without a shared
// history (goal: at most 1.2 times); then the push of a backlog of 100,000
// local rows (goal: under a minute).
#include "history/SharedHistory.h"
#include "protocol/ParameterBlock.h"
#include "tools/sim/LoggerSimulator.h"
#include "tools/sim/SimBlock.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using korvel::sim::LoggerSimulator;
namespace offset = korvel::protocol::offset;
namespace width = korvel::protocol::width;

constexpr int kRounds = 3;
constexpr int kLoggersPerBench = 32;
constexpr int kBenches = 4;
constexpr int kBacklog = 100000;

std::unique_ptr<LoggerSimulator> loggerNamed(const std::string& serial) {
    korvel::sim::Block block = korvel::sim::DefaultBlock();
    std::fill_n(block.begin() + offset::kSerialNumber, width::kSerialNumber, 0);
    std::copy(serial.begin(), serial.end(), block.begin() + offset::kSerialNumber);
    LoggerSimulator::Options options;
    options.block = korvel::sim::ReadReplyFrom(block);
    options.pace = true;
    return std::make_unique<LoggerSimulator>(std::move(options));
}

pid_t spawn(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        child = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Every bench's provisioning at once; the wall time until the last ends, or
// a negative one when a run failed.
double provisionAll(const std::vector<std::vector<std::unique_ptr<LoggerSimulator>>>& benches,
                    const std::string& file, const std::string& folder,
                    const std::vector<std::string>& conninfos, int round) {
    std::vector<pid_t> children;
    const auto start = Clock::now();
    for (std::size_t b = 0; b < benches.size(); ++b) {
        std::vector<std::string> arguments = {KORVEL_CLI_PROGRAM,
                                              "provision",
                                              file,
                                              "--quiet",
                                              "--allow-unsynced-clock",
                                              "--history",
                                              folder + "/bench" + std::to_string(b) + "-" +
                                                  std::to_string(round) + ".sqlite3"};
        if (conninfos.empty()) {
            arguments.push_back("--no-shared-history");
        } else {
            arguments.push_back("--shared-history");
            arguments.push_back(conninfos[b]);
        }
        for (const auto& logger : benches[b]) {
            arguments.push_back("--port");
            arguments.push_back(logger->PortPath());
        }
        children.push_back(spawn(arguments));
    }
    bool failed = false;
    for (const pid_t child : children) {
        int status = 0;
        failed |= child < 0 || ::waitpid(child, &status, 0) < 0 || !WIFEXITED(status) ||
                  WEXITSTATUS(status) != 0;
    }
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return failed ? -1 : wall;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string psqlScalar(const std::string& dir, const std::string& port, const std::string& db,
                       const std::string& sql) {
    const std::string command = "/usr/bin/psql -X -At -h " + dir + " -p " + port +
                                " -U korvel_admin -d " + db + " -c \"" + sql + "\"";
    FILE* pipe = ::popen(command.c_str(), "r");
    char line[256] = {};
    std::string value = std::fgets(line, sizeof line, pipe) ? line : "";
    ::pclose(pipe);
    while (!value.empty() && value.back() == '\n') {
        value.pop_back();
    }
    return value;
}

} // namespace

int main() {
    char pattern[] = "/tmp/korvel-pgb-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    const std::string script = KORVEL_PG_SERVER_SCRIPT;
    if (std::system((script + " start " + dir + " " + KORVEL_SHARED_HISTORY_SQL).c_str()) != 0) {
        std::fprintf(stderr, "the PostgreSQL server did not start\n");
        return 1;
    }
    std::string port;
    {
        std::ifstream env(dir + "/env");
        for (std::string line; std::getline(env, line);) {
            if (line.rfind("PGPORT=", 0) == 0) {
                port = line.substr(7);
            }
        }
    }
    const auto newDatabase = [&](const std::string& name) {
        psqlScalar(dir, port, "postgres", "CREATE DATABASE " + name + " TEMPLATE korvel_template");
        return name;
    };
    const auto conninfo = [&](const std::string& db, const std::string& user) {
        return "host=" + dir + " port=" + port + " dbname=" + db + " user=" + user +
               " passfile=" + dir + "/pgpass";
    };
    char scratchPattern[] = "/tmp/korvel-shared-bench-XXXXXX";
    const std::string scratch = ::mkdtemp(scratchPattern);
    const std::string file = scratch + "/bench.json";
    std::ofstream(file) << R"({"korvel": 1, "time_zone": "UTC+02:00", "stop_mode": "software"})";

    std::vector<std::vector<std::unique_ptr<LoggerSimulator>>> benches(kBenches);
    for (int b = 0; b < kBenches; ++b) {
        for (int l = 0; l < kLoggersPerBench; ++l) {
            // Formatted, not added up: GCC 12 misreads "B" + std::string at -O2 (-Wrestrict).
            char serial[16];
            std::snprintf(serial, sizeof serial, "B%dL%d", b, l);
            benches[static_cast<std::size_t>(b)].push_back(loggerNamed(serial));
        }
    }
    std::vector<std::vector<std::unique_ptr<LoggerSimulator>>> alone;
    alone.push_back(std::move(benches.back()));
    benches.pop_back();
    // The lone bench's loggers join the four benches again after its runs.
    std::vector<double> single, shared, sharedless;
    for (int round = 0; round < kRounds; ++round) {
        single.push_back(provisionAll(alone, file, scratch, {}, round));
    }
    benches.push_back(std::move(alone.front()));
    const std::string db = newDatabase("bench_provision");
    std::vector<std::string> logins;
    for (int b = 0; b < kBenches; ++b) {
        logins.push_back(conninfo(db, "bench" + std::to_string(b + 1)));
    }
    // The same four benches without the server: what the machine's cores
    // cost 128 loggers at once, apart from the shared history.
    for (int round = 0; round < kRounds; ++round) {
        sharedless.push_back(provisionAll(benches, file, scratch, {}, 200 + round));
        shared.push_back(provisionAll(benches, file, scratch, logins, 100 + round));
    }
    const double one = median(single), four = median(shared);
    std::printf("one bench of %d loggers, no shared history: %.1f ms (median of %d)\n",
                kLoggersPerBench, one, kRounds);
    std::printf("%d benches of %d loggers at once, shared history: %.1f ms (median of %d), "
                "%.2f times (goal: at most 1.2)\n",
                kBenches, kLoggersPerBench, four, kRounds, four / one);
    std::printf("%d benches of %d loggers at once, no shared history: %.1f ms (median of %d), "
                "%.2f times\n",
                kBenches, kLoggersPerBench, median(sharedless), kRounds, median(sharedless) / one);
    std::printf(
        "rows on the server: %s (expected %d); chain intact: %s\n",
        psqlScalar(dir, port, db, "SELECT count(*) FROM korvel.saves").c_str(),
        kBenches * kLoggersPerBench * 2 * kRounds,
        psqlScalar(dir, port, db, "SELECT bool_and(korvel.row_hash(s) = hash) FROM korvel.saves s")
            .c_str());

    // The backlog: 100,000 rows written straight into a history file (the
    // store's own appends would take minutes of disk syncs first), then sent.
    const std::string backlog = scratch + "/backlog.sqlite3";
    {
        auto store = korvel::history::OpenHistoryStore(backlog, {});
        if (!store) {
            std::fprintf(stderr, "%s\n", store.failure().message.c_str());
            return 1;
        }
    }
    sqlite3* raw = nullptr;
    sqlite3_open(backlog.c_str(), &raw);
    sqlite3_exec(raw,
                 "BEGIN;"
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)"
                 " INSERT INTO saves (id, kind, attempt, time, operator, host, program, port,"
                 " serial_number, block_before, frame, clock_sync, batch, result, acknowledged,"
                 " read_back, detail, previous_hash, hash)"
                 " SELECT i, CASE i % 2 WHEN 1 THEN 'attempt' ELSE 'outcome' END,"
                 " CASE i % 2 WHEN 0 THEN i - 1 END, '2026-01-01T00:00:00.000Z',"
                 " 'ada', 'bench', 'korvel-cli 3.0.0', '/dev/ttyUSB0', 'T' || (i / 2),"
                 " randomblob(210), randomblob(210), 'synchronised', '',"
                 " CASE i % 2 WHEN 0 THEN 'confirmed' END, CASE i % 2 WHEN 0 THEN 1 END,"
                 " CASE i % 2 WHEN 0 THEN randomblob(210) END, '',"
                 " lower(hex(randomblob(32))), lower(hex(randomblob(32))) FROM n;"
                 "COMMIT;",
                 nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    auto store = korvel::history::OpenHistoryStore(backlog, {});
    const std::string backlogDb = newDatabase("bench_backlog");
    korvel::history::SharedOutbox outbox(**store, {conninfo(backlogDb, "bench1"), "backlog"});
    const auto start = Clock::now();
    const korvel::history::PushReport pushed = outbox.PushNow();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("backlog of %d rows sent in %.1f s, %.0f rows/s (goal: under 60 s); sent %lld, "
                "waiting %lld%s%s\n",
                kBacklog, seconds, static_cast<double>(pushed.sent) / seconds,
                static_cast<long long>(pushed.sent), static_cast<long long>(pushed.waiting),
                pushed.problem.empty() ? "" : "; ", pushed.problem.c_str());
    std::printf("server database size: %s\n",
                psqlScalar(dir, port, backlogDb,
                           "SELECT pg_size_pretty(pg_database_size(current_database()))")
                    .c_str());

    std::system((script + " stop " + dir).c_str());
    std::filesystem::remove_all(scratch);
    return 0;
}
