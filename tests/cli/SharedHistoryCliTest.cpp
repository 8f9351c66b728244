// korvel-cli with a shared history on a real server (the korvel_pg fixture):
// benches provisioning at once as separate programs, a server away for a
// while, servers that cannot take the saves, and what `history sync`,
// `verify --shared` and `list --shared` say.
#include "CliFixture.h"
#include "tests/support/PgServer.h"

#include "cli/Environment.h"
#include "protocol/ParameterBlock.h"
#include "tools/sim/SimBlock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <array>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>

namespace korvel::cli {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;
using korvel::testing::Cli;
using korvel::testing::Logger;
using korvel::testing::PgServer;
using korvel::testing::SharedServerOfRun;
using ::testing::HasSubstr;

constexpr const char* kFile = R"({"korvel": 1, "time_zone": "UTC+02:00", "stop_mode": "software"})";

// A scratch folder in /tmp, removed at the end.
class Scratch {
public:
    Scratch() {
        std::string pattern = "/tmp/korvel-shared-XXXXXX";
        path_ = ::mkdtemp(pattern.data());
        std::filesystem::create_directories(path_ / "config");
    }
    ~Scratch() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name, std::ios::binary) << text;
        return (path_ / name).string();
    }

private:
    std::filesystem::path path_;
};

std::unique_ptr<sim::LoggerSimulator> LoggerNamed(const std::string& serial) {
    sim::Block block = sim::DefaultBlock();
    std::fill_n(block.begin() + offset::kSerialNumber, width::kSerialNumber, 0);
    std::copy(serial.begin(), serial.end(), block.begin() + offset::kSerialNumber);
    sim::LoggerSimulator::Options options;
    options.block = sim::ReadReplyFrom(block);
    return Logger(std::move(options));
}

using korvel::testing::ProgramRun;

// korvel-cli as its own process, with no configuration files of the user's.
ProgramRun RunProgram(const Scratch& scratch, const std::string& name,
                      const std::vector<std::string>& arguments) {
    std::string command =
        "XDG_CONFIG_HOME=" + scratch / "config" + " timeout 120 " + std::string(KORVEL_CLI_PROGRAM);
    for (const std::string& argument : arguments) {
        command += " '" + argument + "'";
    }
    return korvel::testing::RunShellCommand(command, scratch / (name + ".err"));
}

// One bench: its loggers, its own history file, its login.
struct Bench {
    std::string history;
    std::string login;
    std::vector<std::unique_ptr<sim::LoggerSimulator>> loggers;

    std::vector<std::string> Provision(const std::string& conninfo, const std::string& file) const {
        std::vector<std::string> arguments{"--history",
                                           history,
                                           "--shared-history",
                                           conninfo,
                                           "provision",
                                           file,
                                           "--allow-unsynced-clock",
                                           "--expect",
                                           std::to_string(loggers.size())};
        for (const auto& logger : loggers) {
            arguments.push_back("--port");
            arguments.push_back(logger->PortPath());
        }
        return arguments;
    }
};

std::vector<Bench> MakeBenches(const Scratch& scratch, int benches, int loggers) {
    std::vector<Bench> made(static_cast<std::size_t>(benches));
    for (int b = 0; b < benches; ++b) {
        Bench& bench = made[static_cast<std::size_t>(b)];
        bench.history = scratch / ("bench" + std::to_string(b + 1) + ".sqlite3");
        bench.login = "bench" + std::to_string(b + 1);
        for (int l = 0; l < loggers; ++l) {
            bench.loggers.push_back(LoggerNamed("B" + std::to_string(b) + "L" + std::to_string(l)));
        }
    }
    return made;
}

class SharedHistoryCli : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (!server.Running()) {
            GTEST_FAIL() << "no test server at " << KORVEL_TEST_PG_DIR
                         << "; run through ctest, which starts it";
        }
        database = server.NewDatabase();
    }
    std::string Rows() const {
        return server.Scalar(database, "bench1", "SELECT count(*) FROM korvel.saves");
    }

    PgServer& server = SharedServerOfRun();
    std::string database;
    Scratch scratch;
};

// Two and four benches, each its own program and history, provision at once
// into one server: every row there once, in one unbroken chain.
TEST_P(SharedHistoryCli, BenchesProvisioningAtOnceMakeOneChain) {
    constexpr int kLoggers = 3;
    const int benches = GetParam();
    const std::vector<Bench> made = MakeBenches(scratch, benches, kLoggers);
    const std::string file = scratch.Write("bench.json", kFile);
    std::vector<std::future<ProgramRun>> runs;
    for (const Bench& bench : made) {
        runs.push_back(std::async(std::launch::async, [&] {
            return RunProgram(scratch, bench.login,
                              bench.Provision(server.Conninfo(database, bench.login), file));
        }));
    }
    for (auto& run : runs) {
        const ProgramRun done = run.get();
        EXPECT_EQ(done.code, exit_code::kDone) << done.err;
        EXPECT_THAT(done.err, ::testing::Not(HasSubstr("shared history"))) << done.err;
    }
    const int rows = benches * kLoggers * 2;
    EXPECT_EQ(Rows(), std::to_string(rows));
    EXPECT_EQ(server.Scalar(database, "bench1",
                            "SELECT count(DISTINCT (bench_id, local_id)) FROM korvel.saves"),
              std::to_string(rows));
    EXPECT_EQ(server.Scalar(database, "bench1", "SELECT count(DISTINCT sent_by) FROM korvel.saves"),
              std::to_string(benches));
    const ProgramRun verify = RunProgram(
        scratch, "verify",
        {"--shared-history", server.Conninfo(database, "bench2"), "history", "verify", "--shared"});
    EXPECT_EQ(verify.code, exit_code::kDone) << verify.err;
    EXPECT_THAT(verify.out,
                HasSubstr("shared history: intact, " + std::to_string(rows) + " rows, head "));
    const ProgramRun sync = RunProgram(scratch, "sync",
                                       {"--history", made[0].history, "--shared-history",
                                        server.Conninfo(database, "bench1"), "history", "sync"});
    EXPECT_EQ(sync.code, exit_code::kDone) << sync.err;
    EXPECT_THAT(sync.out, HasSubstr("0 rows sent to the shared history, 0 rows wait"));
}

INSTANTIATE_TEST_SUITE_P(Benches, SharedHistoryCli, ::testing::Values(2, 4));

// The server stopped between a bench's runs and started again: every save
// is recorded locally all the same, `history sync` sends what waited, and
// nothing is on the server twice.
TEST(SharedHistoryAway, SavesGoOnAndSyncSendsEveryRowOnce) {
    Scratch scratch;
    std::string pattern = "/tmp/korvel-pgp-XXXXXX";
    const std::string dir = ::mkdtemp(pattern.data());
    auto server = PgServer::StartPrivate(dir);
    ASSERT_TRUE(server && server->Running());
    const std::string database = server->NewDatabase();
    const std::string conninfo = server->Conninfo(database, "bench1");
    const std::vector<Bench> made = MakeBenches(scratch, 1, 2);
    const Bench& bench = made[0];
    const std::string file = scratch.Write("bench.json", kFile);
    const auto rows = [&] {
        return server->Scalar(database, "bench1", "SELECT count(*) FROM korvel.saves");
    };

    EXPECT_EQ(RunProgram(scratch, "first", bench.Provision(conninfo, file)).code, exit_code::kDone);
    EXPECT_EQ(rows(), "4");

    ASSERT_TRUE(server->Pause());
    for (const char* name : {"second", "third"}) {
        const ProgramRun away = RunProgram(scratch, name, bench.Provision(conninfo, file));
        EXPECT_EQ(away.code, exit_code::kDone) << away.err;
        EXPECT_THAT(away.err, HasSubstr("warning: cannot reach the shared history"));
        // One warning for the run, however many saves it made.
        EXPECT_EQ(away.err.find("shared history"), away.err.rfind("shared history")) << away.err;
    }
    const ProgramRun waiting =
        RunProgram(scratch, "sync-down",
                   {"--history", bench.history, "--shared-history", conninfo, "history", "sync"});
    EXPECT_EQ(waiting.code, exit_code::kNothingSaved);
    EXPECT_THAT(waiting.err, HasSubstr("8 rows wait in " + bench.history));
    const ProgramRun local =
        RunProgram(scratch, "list", {"--history", bench.history, "history", "list"});
    // A header and the six saves.
    EXPECT_EQ(std::count(local.out.begin(), local.out.end(), '\n'), 7) << local.out;

    ASSERT_TRUE(server->Resume());
    const ProgramRun sync =
        RunProgram(scratch, "sync",
                   {"--history", bench.history, "--shared-history", conninfo, "history", "sync"});
    EXPECT_EQ(sync.code, exit_code::kDone) << sync.err;
    EXPECT_THAT(sync.out, HasSubstr("8 rows sent to the shared history, 0 rows wait"));
    EXPECT_EQ(rows(), "12");
    EXPECT_EQ(server->Scalar(database, "bench1",
                             "SELECT count(DISTINCT local_id) = count(*) AND max(local_id) = 12 "
                             "FROM korvel.saves"),
              "t");
    const ProgramRun verify = RunProgram(
        scratch, "verify", {"--shared-history", conninfo, "history", "verify", "--shared"});
    EXPECT_THAT(verify.out, HasSubstr("intact, 12 rows"));
}

// A socket that takes connections and never says a word.
class SilentServer {
public:
    SilentServer() {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(socket_, 16) == 0 &&
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    ~SilentServer() { ::close(socket_); }
    int Port() const { return port_; }

private:
    int socket_ = -1;
    int port_ = 0;
};

// A port where nothing listens: taken and given back.
int ClosedPort() {
    const SilentServer taken;
    return taken.Port();
}

// Servers that cannot take the saves: a warning naming why, the save goes
// ahead and is recorded, its rows wait, and no wait is longer than the limit.
TEST(SharedHistoryRefused, AWarningNamesTheCauseAndTheRowsWait) {
    PgServer& server = SharedServerOfRun();
    ASSERT_TRUE(server.Running());
    const std::string database = server.NewDatabase();
    Scratch scratch;
    const std::string wrongPassword = scratch.Write("pgpass", "*:*:*:bench1:not-the-password\n");
    std::filesystem::permissions(wrongPassword, std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::owner_write);
    const SilentServer silent;
    const std::string db = " dbname=" + database + " user=bench1 connect_timeout=2";
    const struct {
        const char* name;
        std::string conninfo;
        const char* cause;
    } cases[] = {
        {"wrong password",
         "host=" + server.Dir() + " port=" + server.Port() + db + " passfile=" + wrongPassword,
         "password authentication failed"},
        {"TLS required, the server has none",
         "host=127.0.0.1 port=" + server.Port() + db + " sslmode=require",
         "server does not support SSL"},
        {"unknown host", "host=korvel-no-such-host.invalid" + db, "korvel-no-such-host.invalid"},
        {"a server that never answers", "host=127.0.0.1 port=" + std::to_string(silent.Port()) + db,
         "did not answer within 2 s"},
        {"nothing listening", "host=127.0.0.1 port=" + std::to_string(ClosedPort()) + db,
         "refused"},
    };
    auto logger = LoggerNamed("R0000001");
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.openHistory = true;
    const std::string history = scratch / "h.sqlite3";
    const std::string file = scratch.Write("bench.json", kFile);
    int saves = 0;
    for (const auto& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const auto run = cli.Run(
            {"--history", history, "--shared-history", c.conninfo, "write", file, "--no-verify"});
        const auto took = std::chrono::steady_clock::now() - started;
        ++saves;
        EXPECT_EQ(run.code, exit_code::kDone) << c.name << ": " << run.err;
        EXPECT_THAT(run.err, HasSubstr("warning: cannot reach the shared history")) << c.name;
        EXPECT_THAT(run.err, HasSubstr(c.cause)) << c.name << ": " << run.err;
        EXPECT_THAT(run.err, HasSubstr(std::to_string(2 * saves) + " rows wait")) << c.name;
        EXPECT_LT(took, 10s) << c.name;
    }
    EXPECT_EQ(server.Scalar(database, "bench1", "SELECT count(*) FROM korvel.saves"), "0");
    const auto sync = cli.Run({"--history", history, "--shared-history",
                               server.Conninfo(database, "bench1"), "history", "sync"});
    EXPECT_EQ(sync.code, exit_code::kDone) << sync.err;
    EXPECT_THAT(sync.out, HasSubstr("10 rows sent to the shared history, 0 rows wait"));
}

// korvel.conf names the server and the bench; --no-shared-history sends nothing.
TEST(SharedHistoryConfig, TheUsersFileNamesTheServerAndTheBench) {
    PgServer& server = SharedServerOfRun();
    ASSERT_TRUE(server.Running());
    const std::string database = server.NewDatabase();
    Scratch scratch;
    std::filesystem::create_directories(scratch / "config/korvel");
    scratch.Write("config/korvel/korvel.conf", "# the laboratory's server\nshared_history = " +
                                                   server.Conninfo(database, "bench4") +
                                                   "\nbench = Packing bench 2\ncolour = blue\n");
    auto logger = LoggerNamed("C0000001");
    const std::string history = scratch / "h.sqlite3";
    const std::string file = scratch.Write("bench.json", kFile);
    const ProgramRun off = RunProgram(scratch, "off",
                                      {"--history", history, "--no-shared-history", "--port",
                                       logger->PortPath(), "write", file, "--no-verify"});
    EXPECT_EQ(off.code, exit_code::kDone) << off.err;
    EXPECT_EQ(server.Scalar(database, "bench4", "SELECT count(*) FROM korvel.saves"), "0");
    const ProgramRun saved = RunProgram(
        scratch, "saved", {"--history", history, "--port", logger->PortPath(), "write", file});
    EXPECT_EQ(saved.code, exit_code::kDone) << saved.err;
    EXPECT_THAT(saved.err, HasSubstr("korvel.conf:4: unknown key \"colour\"; line skipped"));
    // The first save's rows waited in the file and went with the second's.
    EXPECT_EQ(server.Scalar(database, "bench4", "SELECT count(*) FROM korvel.saves"), "4");
    const ProgramRun list = RunProgram(scratch, "list", {"history", "list", "--shared", "--csv"});
    EXPECT_THAT(list.out, HasSubstr(",C0000001,confirmed,Packing bench 2,"));
}

// What the server holds, read from the command line; an owner's edit found.
TEST(SharedHistoryCommands, ListVerifyAndAnOwnersEdit) {
    PgServer& server = SharedServerOfRun();
    ASSERT_TRUE(server.Running());
    const std::string database = server.NewDatabase();
    Scratch scratch;
    auto logger = LoggerNamed("V0000001");
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.openHistory = true;
    const std::string conninfo = server.Conninfo(database, "bench3");
    const std::string history = scratch / "h.sqlite3";
    const auto saved = cli.Run({"--history", history, "--shared-history", conninfo, "write",
                                scratch.Write("bench.json", kFile)});
    ASSERT_EQ(saved.code, exit_code::kDone) << saved.err;

    const auto list =
        cli.Run({"--shared-history", conninfo, "history", "list", "--shared", "V0000001"});
    EXPECT_EQ(list.code, exit_code::kDone) << list.err;
    EXPECT_THAT(list.out,
                ::testing::MatchesRegex("seq +time +serial_number +result +bench +operator +"
                                        "sent_by +received_at\n"
                                        "1 +2025-06-01T12:00:[0-9.]+Z +V0000001 +confirmed +"
                                        "bench-1 +tester +bench3 +20[0-9-]+T[0-9:.]+Z\n"));
    // Newest first, as many as asked, and a JSON list whole however it streams.
    const auto limited = cli.Run({"--shared-history", conninfo, "history", "list", "--shared",
                                  "--limit", "1", "--since", "2025-06-01", "--json"});
    EXPECT_EQ(limited.code, exit_code::kDone) << limited.err;
    EXPECT_THAT(limited.out, HasSubstr("\"saves\": [\n    {\"seq\": 1,"));
    EXPECT_THAT(limited.out, ::testing::EndsWith("}\n  ]\n}\n"));
    EXPECT_THAT(cli.Run({"--shared-history", conninfo, "history", "list", "--shared", "--until",
                         "2025-06-01", "--json"})
                    .out,
                HasSubstr("\"saves\": []\n}\n"));
    EXPECT_EQ(cli.Run({"--shared-history", conninfo, "history", "list", "--shared", "OTHER"}).out,
              "");

    const auto intact = cli.Run({"--shared-history", conninfo, "history", "verify", "--shared"});
    EXPECT_EQ(intact.code, exit_code::kDone);
    EXPECT_THAT(intact.out, ::testing::MatchesRegex("shared history: intact, 2 rows, head "
                                                    "[0-9a-f]{64}\n"));
    EXPECT_EQ(server.Exec(database, "owner1",
                          "ALTER TABLE korvel.saves DISABLE TRIGGER saves_no_update;"
                          "UPDATE korvel.saves SET operator = 'someone else' WHERE seq = 1"),
              "");
    const auto edited = cli.Run({"--shared-history", conninfo, "history", "verify", "--shared"});
    EXPECT_EQ(edited.code, exit_code::kHistoryBroken);
    EXPECT_EQ(edited.out,
              "shared history: row 1 was edited: its content does not match its hash\n");

    // Without a server configured the shared commands say what to do.
    const auto none = cli.Run({"--no-shared-history", "history", "verify", "--shared"});
    EXPECT_EQ(none.code, exit_code::kNothingSaved);
    EXPECT_THAT(none.err, HasSubstr("no shared history is configured"));
    // A password never goes on the command line.
    const auto password =
        cli.Run({"--shared-history", "postgresql://bench1:secret@db/korvel", "history", "sync"});
    EXPECT_EQ(password.code, exit_code::kUsage);
    EXPECT_THAT(password.err, HasSubstr("~/.pgpass"));
}

// A history file copied with everything beside it (a cloned computer): its
// saves warn of the conflict every time and `history sync` fails naming its
// rows, until `sync --new-bench-id` sends them under an id of their own.
TEST(SharedHistoryCommands, ACopiedFileWarnsUntilItTakesANewBenchId) {
    PgServer& server = SharedServerOfRun();
    ASSERT_TRUE(server.Running());
    const std::string database = server.NewDatabase();
    Scratch scratch;
    auto logger = LoggerNamed("V0000002");
    Cli cli;
    cli.systemPorts = {logger->PortPath()};
    cli.openHistory = true;
    const std::string conninfo = server.Conninfo(database, "bench3");
    const std::string original = scratch / "a.sqlite3";
    const std::string clone = scratch / "c.sqlite3";
    const std::string file = scratch.Write("bench.json", kFile);
    const auto save = [&](const std::string& history) {
        return cli.Run({"--history", history, "--shared-history", conninfo, "write", file});
    };
    ASSERT_EQ(save(original).code, exit_code::kDone);
    std::filesystem::copy_file(original, clone);
    std::filesystem::copy_file(original + ".bench", clone + ".bench");
    ASSERT_EQ(save(original).code, exit_code::kDone);
    for (int n = 0; n < 2; ++n) {
        const auto warned = save(clone);
        EXPECT_EQ(warned.code, exit_code::kDone) << warned.err;
        EXPECT_THAT(warned.err,
                    HasSubstr("warning: conflict: the shared history holds other rows"));
    }
    const auto sync =
        cli.Run({"--history", clone, "--shared-history", conninfo, "history", "sync"});
    EXPECT_EQ(sync.code, exit_code::kNothingSaved);
    EXPECT_THAT(sync.err, HasSubstr("rows 3, 4"));
    EXPECT_THAT(sync.err, HasSubstr("4 rows wait"));
    const auto forked = cli.Run(
        {"--history", clone, "--shared-history", conninfo, "history", "sync", "--new-bench-id"});
    EXPECT_EQ(forked.code, exit_code::kDone) << forked.err;
    EXPECT_THAT(forked.out, HasSubstr("4 rows sent to the shared history, 0 rows wait"));
    EXPECT_EQ(server.Scalar(database, "bench3", "SELECT count(*) FROM korvel.saves"), "8");
}

} // namespace
} // namespace korvel::cli
