// The shared history against a real server (the korvel_pg fixture): several
// outboxes at once into one chain, each row once; what the roles may do; an
// owner's edit found by the server's chain check; copied files, borrowed
// bench ids and edited rows refused loudly; a new server refilled; a held
// lock costing one bounded wait.
#include "history/SharedHistory.h"
#include "history/RowFormat.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/PgServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace korvel::history {
namespace {

using namespace std::chrono_literals;
using testing::PgServer;
using testing::RawDatabase;
using testing::SharedServerOfRun;
using testing::TempFolder;

SaveAttempt Attempt(const std::string& serial, int n) {
    SaveAttempt attempt;
    attempt.time =
        std::chrono::sys_days{std::chrono::year(2025) / 6 / 1} + 12h + std::chrono::milliseconds(n);
    attempt.operatorName = "ada";
    attempt.host = "bench";
    attempt.program = "korvel-cli 3.0.0";
    attempt.port = "/dev/ttyUSB0";
    attempt.serialNumber = serial;
    attempt.before = std::vector<std::uint8_t>(210, static_cast<std::uint8_t>(n));
    attempt.frame = std::vector<std::uint8_t>(210, static_cast<std::uint8_t>(n + 1));
    attempt.clockSync = "synchronised";
    attempt.batch = "b";
    return attempt;
}

SaveOutcome Outcome(int n) {
    SaveOutcome outcome;
    outcome.time = std::chrono::sys_days{std::chrono::year(2025) / 6 / 1} + 12h + 1s +
                   std::chrono::milliseconds(n);
    outcome.result = n % 3 ? "confirmed" : "not acknowledged";
    outcome.acknowledged = n % 3 != 0;
    if (n % 2) {
        outcome.readBack = std::vector<std::uint8_t>(210, 9);
    }
    outcome.detail = n % 5 ? "" : "a detail with 'quotes', \\ and \xc3\xa9";
    return outcome;
}

// `count` saves of `serial`, each an attempt and its outcome.
void Save(HistoryStore& store, const std::string& serial, int from, int count) {
    for (int n = from; n < from + count; ++n) {
        const auto attempt = store.RecordAttempt(Attempt(serial, n));
        ASSERT_TRUE(attempt) << attempt.failure().message;
        ASSERT_TRUE(store.RecordOutcome(attempt->id, Outcome(n)));
    }
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::unique_ptr<HistoryStore> OpenStore(const std::string& path) {
    auto store = OpenHistoryStore(path, {});
    EXPECT_TRUE(store) << store.failure().message;
    return store ? std::move(store).take() : nullptr;
}

class SharedHistory : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Running()) {
            GTEST_FAIL() << "no test server at " << KORVEL_TEST_PG_DIR
                         << "; run through ctest, which starts it";
        }
        database = server.NewDatabase();
    }
    SharedTarget Target(const std::string& user) const {
        return {server.Conninfo(database, user), "bench of " + user};
    }
    std::string Count(const std::string& where = "true") const {
        return server.Scalar(database, "bench1",
                             "SELECT count(*) FROM korvel.saves WHERE " + where);
    }
    ChainCheck Check(const std::string& anchor = "") const {
        auto connected = SharedServer::Connect(Target("bench1"));
        EXPECT_TRUE(connected) << connected.failure().message;
        auto check = (*connected)->Verify(anchor);
        EXPECT_TRUE(check) << check.failure().message;
        return *check;
    }

    PgServer& server = SharedServerOfRun();
    std::string database;
    TempFolder folder;
};

// Four benches save and send at once, one of them more rows than one INSERT
// takes: every row arrives once, in one unbroken chain, each marked with the
// login that sent it; sending a file's rows again adds nothing.
TEST_F(SharedHistory, BenchesSendingAtOnceMakeOneChainWithEveryRowOnce) {
    constexpr int kBenches = 4;
    const int saves[kBenches] = {520, 40, 40, 40};
    std::vector<std::thread> benches;
    for (int b = 0; b < kBenches; ++b) {
        benches.emplace_back([&, b] {
            auto store = OpenStore(folder / ("bench" + std::to_string(b) + ".sqlite3"));
            SharedOutbox outbox(*store, Target("bench" + std::to_string(b + 1)));
            PushingHistory history(*store, outbox);
            for (int n = 0; n < saves[b]; ++n) {
                const auto attempt = history.RecordAttempt(Attempt("S" + std::to_string(b), n));
                ASSERT_TRUE(attempt);
                ASSERT_TRUE(history.RecordOutcome(attempt->id, Outcome(n)));
            }
            const PushReport report = outbox.Finish();
            EXPECT_EQ(report.problem, "");
            EXPECT_EQ(report.waiting, 0);
            EXPECT_EQ(report.sent, 2 * saves[b]);
        });
    }
    for (std::thread& bench : benches) {
        bench.join();
    }
    const int rows = 2 * (520 + 40 + 40 + 40);
    EXPECT_EQ(Count(), std::to_string(rows));
    for (int b = 0; b < kBenches; ++b) {
        EXPECT_EQ(Count("sent_by = 'bench" + std::to_string(b + 1) + "' AND serial_number = 'S" +
                        std::to_string(b) + "'"),
                  std::to_string(saves[b]));
    }
    const ChainCheck check = Check();
    EXPECT_TRUE(check.Intact()) << check.problem;
    EXPECT_EQ(check.rows, rows);
    EXPECT_EQ(check.head.size(), 64u);
    EXPECT_EQ(Check(check.head).anchorRow, rows);

    // An acknowledgement lost: the file sends everything again, the server
    // takes none of it twice.
    const std::string path = folder / "bench1.sqlite3";
    RawDatabase(path).Exec("UPDATE outbox SET sent_up_to = 0");
    auto store = OpenStore(path);
    SharedOutbox outbox(*store, Target("bench2"));
    EXPECT_EQ(*store->UnsentCount(), 80);
    const PushReport again = outbox.PushNow();
    EXPECT_EQ(again.problem, "");
    EXPECT_EQ(again.sent, 0);
    EXPECT_EQ(again.waiting, 0);
    EXPECT_EQ(Count(), std::to_string(rows));
    EXPECT_EQ(Check().head, check.head);

    // What the server lists is what the bench saved.
    auto connected = SharedServer::Connect(Target("bench3"));
    const auto listed = (*connected)->List("S2");
    ASSERT_TRUE(listed) << listed.failure().message;
    ASSERT_EQ(listed->size(), 40u);
    const SharedSave& newest = listed->front();
    EXPECT_EQ(newest.benchName, "bench of bench3");
    EXPECT_EQ(newest.sentBy, "bench3");
    EXPECT_EQ(newest.entry.attempt.frame, Attempt("S2", 39).frame);
    EXPECT_EQ(newest.entry.attempt.time, Attempt("S2", 39).time);
    ASSERT_TRUE(newest.entry.outcome);
    EXPECT_EQ(newest.entry.outcome->result, Outcome(39).result);
}

// The server stopped in the middle of a run of saves and started again:
// every save recorded locally, the rows sent once the server is back, each
// once, in one chain.
TEST(SharedHistoryAway, TheServerStoppedMidRunLosesNothingAndDoublesNothing) {
    std::string pattern = "/tmp/korvel-pgp-XXXXXX";
    auto server = PgServer::StartPrivate(::mkdtemp(pattern.data()));
    ASSERT_TRUE(server && server->Running());
    const std::string database = server->NewDatabase();
    TempFolder folder;
    auto store = OpenStore(folder / "h.sqlite3");
    SharedTarget target{server->Conninfo(database, "bench1"), "bench"};
    target.connectWait = 2s;
    SharedOutbox outbox(*store, target);
    PushingHistory history(*store, outbox);
    const auto save = [&](int n) {
        const auto attempt = history.RecordAttempt(Attempt("M", n));
        ASSERT_TRUE(attempt) << attempt.failure().message;
        ASSERT_TRUE(history.RecordOutcome(attempt->id, Outcome(n)));
    };
    for (int n = 0; n < 5; ++n) {
        save(n);
    }
    EXPECT_EQ(outbox.PushNow().waiting, 0);
    ASSERT_TRUE(server->Pause());
    for (int n = 5; n < 10; ++n) {
        save(n);
    }
    const PushReport away = outbox.PushNow();
    EXPECT_NE(away.problem, "");
    EXPECT_EQ(away.waiting, 10);
    EXPECT_EQ(*store->UnsentCount(), 10);
    ASSERT_TRUE(server->Resume());
    const PushReport back = outbox.PushNow();
    EXPECT_EQ(back.problem, "");
    EXPECT_EQ(back.sent, 10);
    EXPECT_EQ(back.waiting, 0);
    EXPECT_EQ(server->Scalar(database, "bench1",
                             "SELECT count(*) || ' ' || count(DISTINCT local_id) || ' ' || "
                             "bool_and(korvel.row_hash(s) = hash) FROM korvel.saves s"),
              "20 20 true");
    EXPECT_TRUE(store->Verify("")->Intact());
}

// The bench role may append and read, nothing else; the triggers refuse
// changes even to the owner; an owner who drops the guard leaves a trace in
// the chain.
TEST_F(SharedHistory, BenchesOnlyAppendAndAnOwnersEditShows) {
    auto store = OpenStore(folder / "h.sqlite3");
    for (int n = 0; n < 3; ++n) {
        const auto attempt = store->RecordAttempt(Attempt("S", n));
        store->RecordOutcome(attempt->id, Outcome(n));
    }
    SharedOutbox outbox(*store, Target("bench1"));
    ASSERT_EQ(outbox.PushNow().sent, 6);

    const struct {
        const char* user;
        const char* sql;
        const char* refusal;
    } refused[] = {
        {"bench1", "UPDATE korvel.saves SET result = 'confirmed'", "permission denied"},
        {"bench1", "DELETE FROM korvel.saves", "permission denied"},
        {"bench1", "TRUNCATE korvel.saves", "permission denied"},
        {"bench1", "ALTER TABLE korvel.saves DISABLE TRIGGER saves_no_update", "must be owner"},
        {"bench1", "CREATE TABLE korvel.mine (a int)", "permission denied"},
        // The server, not the bench, says who sent a row and where it goes.
        {"bench1",
         "INSERT INTO korvel.saves (bench_id, bench_name, local_id, local_hash, kind, time, "
         "sent_by) VALUES ('x', 'x', 1, 'x', 'attempt', 't', 'someone')",
         "permission denied"},
        {"owner1", "UPDATE korvel.saves SET result = 'confirmed'", "append-only"},
        {"owner1", "DELETE FROM korvel.saves WHERE seq = 6", "append-only"},
        {"owner1", "TRUNCATE korvel.saves", "append-only"},
    };
    for (const auto& r : refused) {
        EXPECT_NE(server.Exec(database, r.user, r.sql).find(r.refusal), std::string::npos)
            << r.user << ": " << r.sql;
    }
    EXPECT_EQ(Count(), "6");
    EXPECT_TRUE(Check().Intact());

    EXPECT_EQ(server.Exec(database, "owner1",
                          "ALTER TABLE korvel.saves DISABLE TRIGGER saves_no_update;"
                          "UPDATE korvel.saves SET result = 'confirmed' WHERE seq = 2;"
                          "ALTER TABLE korvel.saves ENABLE TRIGGER saves_no_update"),
              "");
    // The owner's own row_hash, agreeing with every row, fools no one: the
    // chain is checked by Korvel, not by a function on the server.
    EXPECT_EQ(server.Exec(database, "owner1",
                          "CREATE OR REPLACE FUNCTION korvel.row_hash(r korvel.saves)"
                          " RETURNS text LANGUAGE sql AS 'SELECT r.hash'"),
              "");
    ChainCheck edited = Check();
    EXPECT_EQ(edited.row, 2);
    EXPECT_NE(edited.problem.find("row 2 was edited"), std::string::npos) << edited.problem;
    EXPECT_EQ(edited.head, "");

    EXPECT_EQ(server.Exec(database, "owner1",
                          "ALTER TABLE korvel.saves DISABLE TRIGGER saves_no_delete;"
                          "DELETE FROM korvel.saves WHERE seq = 1"),
              "");
    EXPECT_EQ(Check().row, 1);
    EXPECT_NE(Check().problem.find("row 1 was deleted"), std::string::npos) << Check().problem;
}

// A history file copied to a second computer (alone, or with everything
// beside it, as a cloned machine would be): the copy that can tell forks
// under a new bench id; the one that cannot is refused by the server as a
// conflict naming its rows, on every push, until it forks. No save is lost.
TEST_F(SharedHistory, ACopiedHistoryFileForksOrStopsLoudlyAndLosesNoSave) {
    const std::string original = folder / "a.sqlite3";
    const std::string copied = folder / "b.sqlite3";
    const std::string cloned = folder / "c.sqlite3";
    std::string id;
    {
        auto store = OpenStore(original);
        Save(*store, "S", 0, 5);
        SharedOutbox outbox(*store, Target("bench1"));
        EXPECT_EQ(outbox.PushNow().sent, 10);
        id = store->Bench()->id;
    }
    std::filesystem::copy_file(original, copied);
    std::filesystem::copy_file(original, cloned);
    std::filesystem::copy_file(BenchFilePath(original), BenchFilePath(cloned));

    auto a = OpenStore(original);
    auto b = OpenStore(copied);
    auto c = OpenStore(cloned);
    EXPECT_EQ(a->Bench()->id, id);
    EXPECT_EQ(c->Bench()->id, id);
    const BenchIdentity forked = *b->Bench();
    EXPECT_NE(forked.id, id);
    EXPECT_EQ(forked.fromRow, 11);
    Save(*a, "A", 5, 2);
    Save(*b, "B", 5, 2);
    Save(*c, "C", 5, 2);

    SharedOutbox toA(*a, Target("bench1"));
    SharedOutbox toB(*b, Target("bench2"));
    SharedOutbox toC(*c, Target("bench1"));
    EXPECT_EQ(toA.PushNow().sent, 4);
    const PushReport fromB = toB.PushNow();
    EXPECT_EQ(fromB.problem, "");
    EXPECT_EQ(fromB.sent, 4);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const PushReport conflict = toC.PushNow();
        EXPECT_TRUE(Has(conflict.problem, "conflict")) << conflict.problem;
        EXPECT_TRUE(Has(conflict.problem, id)) << conflict.problem;
        EXPECT_TRUE(Has(conflict.problem, "rows 11, 12, 13, 14")) << conflict.problem;
        EXPECT_EQ(conflict.sent, 0);
        EXPECT_EQ(conflict.waiting, 4);
    }
    EXPECT_EQ(Count("serial_number = 'C'"), "0");

    const auto refork = c->ForkBench();
    ASSERT_TRUE(refork);
    const PushReport afterFork = toC.PushNow();
    EXPECT_EQ(afterFork.problem, "");
    EXPECT_EQ(afterFork.sent, 4);
    EXPECT_EQ(Count("bench_id = '" + id + "'"), "14");
    for (const char* serial : {"A", "B", "C"}) {
        EXPECT_EQ(Count(std::string("kind = 'attempt' AND serial_number = '") + serial + "'"), "2")
            << serial;
    }
    EXPECT_TRUE(Check().Intact());
}

// A bench id belongs to the login that first sent rows under it: another
// login can neither add rows under it nor send a file that uses it.
TEST_F(SharedHistory, ABenchIdBelongsToTheLoginThatFirstUsedIt) {
    auto store = OpenStore(folder / "h.sqlite3");
    Save(*store, "S", 0, 2);
    SharedOutbox outbox(*store, Target("bench1"));
    ASSERT_EQ(outbox.PushNow().sent, 4);
    const std::string id = store->Bench()->id;
    EXPECT_TRUE(Has(server.Exec(database, "bench2",
                                "INSERT INTO korvel.saves (bench_id, bench_name, local_id,"
                                " local_hash, local_previous_hash, kind, time) VALUES ('" +
                                    id + "', 'x', 5, 'x', 'x', 'attempt', 't')"),
                    "belongs to the login bench1"));
    Save(*store, "S", 2, 1);
    SharedOutbox impostor(*store, Target("bench2"));
    const PushReport refused = impostor.PushNow();
    EXPECT_TRUE(Has(refused.problem, "belongs to the login bench1")) << refused.problem;
    EXPECT_EQ(refused.waiting, 2);
    EXPECT_EQ(Count(), "4");
    EXPECT_EQ(outbox.PushNow().sent, 2);
}

// An edited or deleted local row is not sent, nor anything after it; the
// server recomputes each row's local hash and its link to the bench's row
// before it, so a row sent by hand that does not match is refused too.
TEST_F(SharedHistory, AnEditedLocalRowIsNeitherSentNorTaken) {
    const std::string path = folder / "h.sqlite3";
    auto store = OpenStore(path);
    Save(*store, "S", 0, 2);
    SharedOutbox outbox(*store, Target("bench1"));
    ASSERT_EQ(outbox.PushNow().sent, 4);
    Save(*store, "S", 2, 2);
    RawDatabase raw(path);
    raw.Exec(std::string(testing::kDropGuards) + "UPDATE saves SET operator = 'eve' WHERE id = 7");
    const PushReport edited = outbox.PushNow();
    EXPECT_TRUE(Has(edited.problem, "row 7 was edited")) << edited.problem;
    EXPECT_EQ(edited.waiting, 4);
    raw.Exec("UPDATE saves SET operator = 'ada' WHERE id = 7; DELETE FROM saves WHERE id = 5");
    const PushReport deleted = outbox.PushNow();
    EXPECT_TRUE(Has(deleted.problem, "row 5 was deleted")) << deleted.problem;
    EXPECT_EQ(Count(), "4");

    // Row 6 sent by hand as the file holds it, its row 5 never sent: it does
    // not follow the bench's row 4. With its content changed it does not
    // match its hash.
    const auto column = [&raw](const char* name) {
        return "'" + raw.Scalar(std::string("SELECT ") + name + " FROM saves WHERE id = 6") + "'";
    };
    const std::string byHand =
        "INSERT INTO korvel.saves (bench_id, bench_name, local_id, local_hash,"
        " local_previous_hash, kind, attempt, time, result, acknowledged, detail) VALUES ('" +
        store->Bench()->id + "', 'x', 6, " + column("hash") + ", " + column("previous_hash") +
        ", 'outcome', 5, " + column("time") + ", " + column("result") + ", 1, ";
    EXPECT_TRUE(Has(server.Exec(database, "bench1", byHand + "'')"),
                    "does not follow the bench's row before it"));
    EXPECT_TRUE(
        Has(server.Exec(database, "bench1", byHand + "'changed')"), "does not match its hash"));
    EXPECT_EQ(Count(), "4");
}

// A server replaced by an empty one (or restored from an older backup) is
// refilled: a push asks the server what it holds instead of trusting the
// file's mark.
TEST_F(SharedHistory, AnEmptiedServerIsRefilled) {
    auto store = OpenStore(folder / "h.sqlite3");
    Save(*store, "S", 0, 6);
    {
        SharedOutbox outbox(*store, Target("bench1"));
        ASSERT_EQ(outbox.PushNow().sent, 12);
    }
    database = server.NewDatabase();
    SharedOutbox outbox(*store, Target("bench1"));
    const PushReport refilled = outbox.PushNow();
    EXPECT_EQ(refilled.problem, "");
    EXPECT_EQ(refilled.sent, 12);
    EXPECT_EQ(refilled.waiting, 0);
    EXPECT_EQ(Count(), "12");
    EXPECT_TRUE(Check().Intact());
}

// A lock held on the server (here by hand, as a stalled append would hold
// it): a push gives up after one bounded wait, whether the server's lock
// timeout or the bench's own answer wait comes first, and leaves no
// statement running on the server.
TEST_F(SharedHistory, AHeldLockCostsOneBoundedWaitAndLeavesNothingRunning) {
    auto store = OpenStore(folder / "h.sqlite3");
    Save(*store, "S", 0, 1);
    PGconn* holder = PQconnectdb(server.Conninfo(database, "owner1").c_str());
    ASSERT_EQ(PQstatus(holder), CONNECTION_OK);
    PQclear(PQexec(holder, "BEGIN"));
    PQclear(PQexec(holder, "SELECT pg_advisory_xact_lock(7275638245810361922)"));
    const struct {
        std::chrono::milliseconds lockWait, answerWait;
    } waits[] = {{1s, 20s}, {20s, 1s}};
    for (const auto& wait : waits) {
        SharedTarget target = Target("bench1");
        target.lockWait = wait.lockWait;
        target.answerWait = wait.answerWait;
        const auto started = std::chrono::steady_clock::now();
        {
            SharedOutbox outbox(*store, target);
            const PushReport stalled = outbox.PushNow();
            EXPECT_NE(stalled.problem, "");
            EXPECT_EQ(stalled.waiting, 2);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
        // The server ends a cancelled or closed session's statement at once;
        // bounded, it may take a moment to show.
        std::string running;
        for (int poll = 0; poll < 100; ++poll) {
            running = server.Scalar("postgres", "korvel_admin",
                                    "SELECT count(*) FROM pg_stat_activity"
                                    " WHERE usename = 'bench1' AND state = 'active'");
            if (running == "0") {
                break;
            }
            std::this_thread::sleep_for(50ms);
        }
        EXPECT_EQ(running, "0") << wait.lockWait.count();
    }
    PQfinish(holder);
    SharedOutbox outbox(*store, Target("bench1"));
    EXPECT_EQ(outbox.PushNow().sent, 2);
}

// One row format each, written once: the shared vectors give the same hashes
// through Korvel's code and through the server's functions.
TEST_F(SharedHistory, BothRowFormatsAgreeWithTheVectorsHereAndOnTheServer) {
    static constexpr const char* kLocal[] = {
        "id",      "kind",   "attempt",       "time",         "operator", "host",
        "program", "port",   "serial_number", "block_before", "frame",    "clock_sync",
        "batch",   "result", "acknowledged",  "read_back",    "detail"};
    static constexpr const char* kShared[] = {
        "seq",           "bench_id",     "bench_name", "local_id",   "local_hash", "kind",
        "attempt",       "time",         "operator",   "host",       "program",    "port",
        "serial_number", "block_before", "frame",      "clock_sync", "batch",      "result",
        "acknowledged",  "read_back",    "detail",     "sent_by",    "received_at"};
    std::ifstream in(KORVEL_ROW_VECTORS);
    ASSERT_TRUE(in) << KORVEL_ROW_VECTORS;
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream head(line);
        std::string kind, hash, previous;
        head >> kind >> hash >> previous;
        const bool local = kind == "local";
        const std::span<const char* const> names =
            local ? std::span<const char* const>(kLocal) : std::span<const char* const>(kShared);
        std::vector<RowValue> values(names.size());
        std::string json = "{\"" + std::string(local ? "local_previous_hash" : "previous_hash") +
                           "\": \"" + previous + "\"";
        while (std::getline(in, line) && line != "end") {
            const std::size_t space = line.find(' ');
            const std::size_t second = line.find(' ', space + 1);
            const std::string name = line.substr(0, space);
            const std::string type = line.substr(space + 1, second - space - 1);
            const std::string value = second == std::string::npos ? "" : line.substr(second + 1);
            const auto at = std::find(names.begin(), names.end(), name);
            ASSERT_NE(at, names.end()) << name;
            RowValue& slot = values[static_cast<std::size_t>(at - names.begin())];
            std::string quoted = "\"" + value + "\"";
            if (type == "int") {
                slot = static_cast<std::int64_t>(std::stoll(value));
                quoted = value;
            } else if (type == "blob") {
                RowBlob blob;
                for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
                    blob.bytes.push_back(
                        static_cast<std::uint8_t>(std::stoi(value.substr(i, 2), nullptr, 16)));
                }
                slot = blob;
                quoted = "\"\\\\x" + value + "\"";
            } else {
                slot = value;
            }
            json +=
                ", \"" + std::string(local && name == "id" ? "local_id" : name) + "\": " + quoted;
        }
        json += "}";
        EXPECT_EQ(local ? LocalRowHash(previous, names, values)
                        : SharedRowHash(previous, names, values),
                  hash)
            << line;
        EXPECT_EQ(server.Scalar(
                      database, "bench1",
                      std::string("SELECT korvel.") + (local ? "local_row_hash" : "row_hash") +
                          "(r) FROM jsonb_populate_record(NULL::korvel.saves, '" + json + "') r"),
                  hash)
            << json;
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

} // namespace
} // namespace korvel::history
