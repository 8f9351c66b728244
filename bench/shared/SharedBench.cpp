// The shared history's cost: four benches of 32 simulated loggers each
// provisioning at once into one private PostgreSQL server, each korvel-cli its
// own process with its own history, against one bench of 32 without a shared
// history (goal: at most 1.2 times); then the push of a backlog of 200,000
// local rows (goal: under two minutes); then the peak memory of listing them,
// locally and from the server, in text and JSON, against the same list cut
// to 1,000 saves (goal: flat, the same within a few MiB).
#include "history/RowFormat.h"
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
#include <sys/resource.h>
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
constexpr int kBacklog = 200000;

std::unique_ptr<LoggerSimulator> loggerNamed(const std::string& serial) {
    korvel::sim::Block block = korvel::sim::DefaultBlock();
    std::fill_n(block.begin() + offset::kSerialNumber, width::kSerialNumber, 0);
    std::copy(serial.begin(), serial.end(), block.begin() + offset::kSerialNumber);
    LoggerSimulator::Options options;
    options.block = korvel::sim::ReadReplyFrom(block);
    options.pace = true;
    return std::make_unique<LoggerSimulator>(std::move(options));
}

pid_t spawn(std::vector<std::string> arguments);

// korvel-cli's peak resident memory in MiB for one run, its output thrown
// away; negative when it failed.
double peakMemory(const std::vector<std::string>& arguments) {
    const pid_t child = spawn(arguments);
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) < 0 || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Gives rows written straight into the file the hashes the store would have
// given them, in one transaction (its guard against updates set aside and
// put back).
void chainRows(sqlite3* db) {
    static constexpr const char* kColumns[] = {
        "id",      "kind",   "attempt",       "time",         "operator", "host",
        "program", "port",   "serial_number", "block_before", "frame",    "clock_sync",
        "batch",   "result", "acknowledged",  "read_back",    "detail"};
    sqlite3_exec(db, "BEGIN; DROP TRIGGER saves_no_update", nullptr, nullptr, nullptr);
    sqlite3_stmt* select = nullptr;
    sqlite3_stmt* update = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT id, kind, attempt, time, operator, host, program, port,"
                       " serial_number, block_before, frame, clock_sync, batch, result,"
                       " acknowledged, read_back, detail FROM saves ORDER BY id",
                       -1, &select, nullptr);
    sqlite3_prepare_v2(db, "UPDATE saves SET previous_hash = ?, hash = ? WHERE id = ?", -1, &update,
                       nullptr);
    std::string previous = korvel::history::kFirstPreviousHash;
    std::vector<korvel::history::RowValue> values(std::size(kColumns));
    while (sqlite3_step(select) == SQLITE_ROW) {
        for (int i = 0; i < static_cast<int>(values.size()); ++i) {
            auto& value = values[static_cast<std::size_t>(i)];
            switch (sqlite3_column_type(select, i)) {
            case SQLITE_INTEGER:
                value = static_cast<std::int64_t>(sqlite3_column_int64(select, i));
                break;
            case SQLITE_TEXT:
                value = std::string(reinterpret_cast<const char*>(sqlite3_column_text(select, i)),
                                    static_cast<std::size_t>(sqlite3_column_bytes(select, i)));
                break;
            case SQLITE_BLOB: {
                const auto* bytes =
                    static_cast<const std::uint8_t*>(sqlite3_column_blob(select, i));
                value = korvel::history::RowBlob{
                    std::vector<std::uint8_t>(bytes, bytes + sqlite3_column_bytes(select, i))};
                break;
            }
            default:
                value = std::monostate{};
            }
        }
        const std::string hash = korvel::history::LocalRowHash(previous, kColumns, values);
        sqlite3_bind_text(update, 1, previous.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(update, 2, hash.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(update, 3, sqlite3_column_int64(select, 0));
        sqlite3_step(update);
        sqlite3_reset(update);
        previous = hash;
    }
    sqlite3_finalize(select);
    sqlite3_finalize(update);
    sqlite3_exec(db,
                 "CREATE TRIGGER saves_no_update BEFORE UPDATE ON saves"
                 " BEGIN SELECT RAISE(ABORT, 'the history is append-only'); END; COMMIT",
                 nullptr, nullptr, nullptr);
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

    // The backlog: 200,000 rows written straight into a history file (the
    // store's own appends would take minutes of disk syncs first), each kind
    // with its own columns only and chained as the store would: the server
    // recomputes each row's hash from what is sent. Then sent.
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
    sqlite3_exec(
        raw,
        "BEGIN;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000)"
        " INSERT INTO saves (id, kind, attempt, time, operator, host, program, port,"
        " serial_number, block_before, frame, clock_sync, batch, result, acknowledged,"
        " read_back, detail, previous_hash, hash)"
        " SELECT i, CASE i % 2 WHEN 1 THEN 'attempt' ELSE 'outcome' END,"
        " CASE i % 2 WHEN 0 THEN i - 1 END, '2026-01-01T00:00:00.000Z',"
        " CASE i % 2 WHEN 1 THEN 'ada' END, CASE i % 2 WHEN 1 THEN 'bench' END,"
        " CASE i % 2 WHEN 1 THEN 'korvel-cli 3.0.0' END,"
        " CASE i % 2 WHEN 1 THEN '/dev/ttyUSB0' END, CASE i % 2 WHEN 1 THEN 'T' || (i / 2) END,"
        " CASE i % 2 WHEN 1 THEN randomblob(210) END, CASE i % 2 WHEN 1 THEN randomblob(210) END,"
        " CASE i % 2 WHEN 1 THEN 'synchronised' END, CASE i % 2 WHEN 1 THEN '' END,"
        " CASE i % 2 WHEN 0 THEN 'confirmed' END, CASE i % 2 WHEN 0 THEN 1 END,"
        " CASE i % 2 WHEN 0 THEN randomblob(210) END, CASE i % 2 WHEN 0 THEN '' END,"
        " lower(hex(randomblob(32))), lower(hex(randomblob(32))) FROM n;"
        "COMMIT;",
        nullptr, nullptr, nullptr);
    chainRows(raw);
    sqlite3_close(raw);
    auto store = korvel::history::OpenHistoryStore(backlog, {});
    const std::string backlogDb = newDatabase("bench_backlog");
    korvel::history::SharedOutbox outbox(**store, {conninfo(backlogDb, "bench1"), "backlog"});
    const auto start = Clock::now();
    const korvel::history::PushReport pushed = outbox.PushNow();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("backlog of %d rows sent in %.1f s, %.0f rows/s (goal: under 120 s); sent %lld, "
                "waiting %lld%s%s\n",
                kBacklog, seconds, static_cast<double>(pushed.sent) / seconds,
                static_cast<long long>(pushed.sent), static_cast<long long>(pushed.waiting),
                pushed.problem.empty() ? "" : "; ", pushed.problem.c_str());
    std::printf("server database size: %s\n",
                psqlScalar(dir, port, backlogDb,
                           "SELECT pg_size_pretty(pg_database_size(current_database()))")
                    .c_str());

    // Listing them: korvel-cli's peak memory for every save, and for the
    // newest 1,000 (what any list costs beyond its rows).
    const std::string server = conninfo(backlogDb, "bench1");
    const std::vector<std::pair<const char*, std::vector<std::string>>> lists = {
        {"local, text", {"--history", backlog, "history", "list"}},
        {"local, JSON", {"--history", backlog, "history", "list", "--json"}},
        {"shared, text", {"--shared-history", server, "history", "list", "--shared"}},
        {"shared, JSON", {"--shared-history", server, "history", "list", "--shared", "--json"}},
    };
    for (const auto& [name, arguments] : lists) {
        std::vector<std::string> all = {KORVEL_CLI_PROGRAM};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<std::string> few = all;
        few.insert(few.end(), {"--limit", "1000"});
        std::printf("history list %s: %d saves %.1f MiB, 1,000 saves %.1f MiB (goal: flat)\n", name,
                    kBacklog / 2, peakMemory(all), peakMemory(few));
    }

    std::system((script + " stop " + dir).c_str());
    std::filesystem::remove_all(scratch);
    return 0;
}
