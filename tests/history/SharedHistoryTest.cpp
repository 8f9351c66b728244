// The shared history against a real server (the korvel_pg fixture): several
// outboxes at once into one chain, each row once; what the roles may do; an
// owner's edit found by the server's chain check.
#include "history/SharedHistory.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/PgServer.h"

#include <gtest/gtest.h>

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
    SharedCheck Check() const {
        auto connected = SharedServer::Connect(Target("bench1"));
        EXPECT_TRUE(connected) << connected.failure().message;
        auto check = (*connected)->Verify();
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
    const SharedCheck check = Check();
    EXPECT_TRUE(check.Intact()) << check.problem;
    EXPECT_EQ(check.rows, rows);
    EXPECT_EQ(check.head.size(), 64u);

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
    SharedCheck edited = Check();
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

} // namespace
} // namespace korvel::history
