#include "history/HistoryStore.h"
#include "tests/history/HistoryFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace korvel::history {
namespace {

using namespace std::chrono_literals;
using testing::RawDatabase;
using testing::TempFolder;

const auto kNoon = std::chrono::sys_days{std::chrono::year(2025) / 6 / 1} + 12h;

SaveAttempt Attempt(const std::string& serial, std::uint8_t marker = 1) {
    SaveAttempt attempt;
    attempt.time = kNoon + 250ms;
    attempt.operatorName = "ada";
    attempt.host = "bench-1";
    attempt.program = "korvel-cli 3.0.0";
    attempt.port = "/dev/ttyUSB0";
    attempt.serialNumber = serial;
    attempt.before = std::vector<std::uint8_t>(210, marker);
    attempt.frame = std::vector<std::uint8_t>(210, static_cast<std::uint8_t>(marker + 1));
    attempt.clockSync = "synchronised";
    attempt.batch = "";
    return attempt;
}

SaveOutcome Outcome(const std::string& result, std::chrono::system_clock::time_point time = kNoon) {
    SaveOutcome outcome;
    outcome.time = time;
    outcome.result = result;
    outcome.acknowledged = result != "not acknowledged";
    if (result == "confirmed") {
        outcome.readBack = std::vector<std::uint8_t>(210, 7);
    }
    return outcome;
}

class HistoryStore : public ::testing::Test {
protected:
    std::unique_ptr<history::HistoryStore> Open(std::chrono::milliseconds busy = 2000ms) {
        StoreOptions options;
        options.busyTimeout = busy;
        auto store = OpenHistoryStore(path, options);
        EXPECT_TRUE(store) << store.failure().message;
        return store ? std::move(store).take() : nullptr;
    }
    // The attempt's id; the outcome row's hash is the head.
    std::int64_t Save(history::HistoryStore& store, const std::string& serial,
                      const std::string& result, std::string* head = nullptr) {
        const auto attempt = store.RecordAttempt(Attempt(serial));
        EXPECT_TRUE(attempt) << attempt.failure().message;
        const auto outcome = store.RecordOutcome(attempt->id, Outcome(result));
        EXPECT_TRUE(outcome) << outcome.failure().message;
        if (head != nullptr) {
            *head = outcome->hash;
        }
        return attempt->id;
    }
    ChainCheck Verify(const std::string& anchor = "") {
        const auto check = Open()->Verify(anchor);
        EXPECT_TRUE(check) << check.failure().message;
        return check ? *check : ChainCheck{};
    }

    TempFolder folder;
    std::string path = folder / "history.sqlite3";
};

TEST_F(HistoryStore, ListsSavesNewestFirstWithTheirOutcomes) {
    auto store = Open();
    const std::int64_t first = Save(*store, "A00000001", "confirmed");
    const std::int64_t second = Save(*store, "B00000002", "not acknowledged");
    const auto open = store->RecordAttempt(Attempt("A00000001", 9)); // no outcome yet

    const auto all = store->List("");
    ASSERT_TRUE(all) << all.failure().message;
    ASSERT_EQ(all->size(), 3u);
    EXPECT_EQ((*all)[0].id, open->id);
    EXPECT_FALSE((*all)[0].outcome);
    EXPECT_EQ((*all)[1].id, second);
    EXPECT_EQ((*all)[1].outcome->result, "not acknowledged");
    EXPECT_FALSE((*all)[1].outcome->readBack);
    EXPECT_EQ((*all)[2].id, first);

    const auto one = store->List("A00000001");
    ASSERT_TRUE(one);
    ASSERT_EQ(one->size(), 2u);
    EXPECT_EQ((*one)[1].id, first);

    const auto found = store->Find(first);
    ASSERT_TRUE(found) << found.failure().message;
    EXPECT_EQ(found->attempt.time, kNoon + 250ms);
    EXPECT_EQ(found->attempt.operatorName, "ada");
    EXPECT_EQ(found->attempt.frame, Attempt("").frame);
    EXPECT_EQ(found->attempt.before, Attempt("").before);
    ASSERT_TRUE(found->outcome);
    EXPECT_EQ(found->outcome->readBack, std::vector<std::uint8_t>(210, 7));
    const auto none = store->Find(99);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.failure().message, "the history has no save 99");

    EXPECT_EQ(store->LastConfirmedSave("A00000001"), kNoon);
    EXPECT_FALSE(store->LastConfirmedSave("B00000002"));
}

// A list narrowed by time and length, as `history list --since --until
// --limit` asks, read one save at a time.
TEST_F(HistoryStore, ListsOnlyTheSavesOfTheTimesAndNumberAsked) {
    auto store = Open();
    for (int hour = 0; hour < 5; ++hour) {
        SaveAttempt attempt = Attempt("A00000001");
        attempt.time = kNoon + std::chrono::hours(hour);
        ASSERT_TRUE(store->RecordAttempt(attempt));
    }
    const struct {
        ListQuery query;
        std::vector<std::int64_t> ids;
    } cases[] = {
        {{"", kNoon + 1h, {}, 0}, {5, 4, 3, 2}},   {{"", {}, kNoon + 2h, 0}, {2, 1}},
        {{"", kNoon + 1h, kNoon + 3h, 0}, {3, 2}}, {{"", {}, {}, 2}, {5, 4}},
        {{"A00000001", kNoon + 3h, {}, 1}, {5}},   {{"B00000002", {}, {}, 0}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::int64_t> ids;
        ASSERT_TRUE(
            store->List(c.query, [&ids](const SaveEntry& entry) { ids.push_back(entry.id); }));
        EXPECT_EQ(ids, c.ids) << c.query.serialNumber << " " << c.query.limit;
    }
}

// The newest attempt, whatever became of it: the window says how it ended.
TEST_F(HistoryStore, TheLastSaveIsTheNewestAttemptWithItsOutcome) {
    auto store = Open();
    Save(*store, "A00000001", "confirmed");
    Save(*store, "B00000002", "not acknowledged");
    const auto b = store->LastSaveOf("B00000002");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->time, kNoon + 250ms);
    EXPECT_EQ(b->operatorName, "ada");
    EXPECT_EQ(b->bench, "bench-1");
    EXPECT_EQ(b->result, "not acknowledged");
    EXPECT_EQ(store->LastSaveOf("A00000001")->result, "confirmed");

    SaveAttempt newer = Attempt("A00000001");
    newer.host = "bench-2";
    ASSERT_TRUE(store->RecordAttempt(newer)); // its outcome not written yet
    const auto a = store->LastSaveOf("A00000001");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bench, "bench-2");
    EXPECT_EQ(a->result, "");
    EXPECT_FALSE(store->LastSaveOf("C00000003"));
}

// The newest confirmed save, not the first, nor a newer one that failed.
TEST_F(HistoryStore, TheLastConfirmedSaveIsTheNewestConfirmedOne) {
    auto store = Open();
    const auto save = [&](const char* result, std::chrono::system_clock::time_point time) {
        const auto attempt = store->RecordAttempt(Attempt("A00000001"));
        ASSERT_TRUE(attempt);
        ASSERT_TRUE(store->RecordOutcome(attempt->id, Outcome(result, time)));
    };
    save("confirmed", kNoon - std::chrono::days(30));
    save("confirmed", kNoon - 1h);
    save("not acknowledged", kNoon);
    EXPECT_EQ(store->LastConfirmedSave("A00000001"), kNoon - 1h);
}

TEST_F(HistoryStore, AnIntactChainVerifiesAfterReopening) {
    Save(*Open(), "A00000001", "confirmed");
    std::string head;
    Save(*Open(), "A00000001", "read-back differs", &head);
    const ChainCheck check = Verify();
    EXPECT_TRUE(check.Intact()) << check.problem;
    EXPECT_EQ(check.rows, 4);
    EXPECT_EQ(check.head, head);
    EXPECT_EQ(head, RawDatabase(path).Scalar("SELECT hash FROM saves WHERE id = 4"));
}

TEST_F(HistoryStore, VerifyNamesTheFirstRowChangedBehindItsBack) {
    const struct {
        const char* name;
        const char* sql;
        std::int64_t row;
        const char* says;
    } cases[] = {
        {"an edited operator", "UPDATE saves SET operator = 'eve' WHERE id = 3", 3, "edited"},
        {"an edited frame", "UPDATE saves SET frame = zeroblob(210) WHERE id = 1", 1, "edited"},
        {"an edited result", "UPDATE saves SET result = 'confirmed' WHERE id = 4", 4, "edited"},
        {"a read-back removed", "UPDATE saves SET read_back = NULL WHERE id = 2", 2, "edited"},
        {"an edited detail, the last column", "UPDATE saves SET detail = 'fine' WHERE id = 4", 4,
         "edited"},
        {"a row given another row's hash",
         "UPDATE saves SET hash = (SELECT hash FROM saves WHERE id = 1) WHERE id = 2", 2, "edited"},
        {"a deleted middle row", "DELETE FROM saves WHERE id = 2", 2, "deleted"},
        {"a deleted last row", "DELETE FROM saves WHERE id = 4", 4, "deleted"},
        {"two deleted last rows", "DELETE FROM saves WHERE id >= 3", 3, "deleted"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(path);
        {
            auto store = Open();
            Save(*store, "A00000001", "confirmed");
            Save(*store, "A00000001", "not acknowledged");
        }
        {
            RawDatabase raw(path);
            raw.Exec(testing::kDropGuards);
            raw.Exec(c.sql);
        }
        const ChainCheck check = Verify();
        EXPECT_EQ(check.row, c.row) << c.name << ": " << check.problem;
        EXPECT_NE(check.problem.find(c.says), std::string::npos) << c.name << ": " << check.problem;
        EXPECT_EQ(check.head, "") << c.name;
    }
}

TEST_F(HistoryStore, RowsCannotBeChangedThroughSqlByMistake) {
    Save(*Open(), "A00000001", "confirmed");
    RawDatabase raw(path);
    EXPECT_EQ(raw.Try("UPDATE saves SET operator = 'eve'"), "the history is append-only");
    EXPECT_EQ(raw.Try("DELETE FROM saves"), "the history is append-only");
}

TEST_F(HistoryStore, ALockedFileRefusesQuicklyAndRecoversWhenReleased) {
    auto store = Open(100ms);
    RawDatabase other(path);
    other.Exec("BEGIN EXCLUSIVE");
    const auto started = std::chrono::steady_clock::now();
    const auto refused = store->RecordAttempt(Attempt("A00000001"));
    ASSERT_FALSE(refused);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_EQ(refused.failure().message, path + " is locked by another program");
    StoreOptions quick;
    quick.busyTimeout = 100ms;
    const auto opened = OpenHistoryStore(path, quick);
    ASSERT_FALSE(opened);
    EXPECT_NE(opened.failure().message.find("locked"), std::string::npos);

    other.Exec("COMMIT");
    EXPECT_TRUE(store->RecordAttempt(Attempt("A00000001")));
}

// A reader in the middle of its read (a database browser, a backup, `history
// verify` on a large file) costs no save its rows.
TEST_F(HistoryStore, AReaderKeepsNoSaveFromItsRecord) {
    auto store = Open(100ms);
    Save(*store, "A00000001", "confirmed");
    RawDatabase reader(path);
    reader.Exec("BEGIN");
    ASSERT_EQ(reader.Scalar("SELECT count(*) FROM saves"), "2");

    const auto attempt = store->RecordAttempt(Attempt("B00000002"));
    ASSERT_TRUE(attempt) << attempt.failure().message;
    const auto outcome = store->RecordOutcome(attempt->id, Outcome("confirmed"));
    EXPECT_TRUE(outcome) << outcome.failure().message;
    EXPECT_EQ(reader.Scalar("SELECT count(*) FROM saves"), "2"); // its read is undisturbed
    reader.Exec("COMMIT");
    EXPECT_EQ(reader.Scalar("SELECT count(*) FROM saves"), "4");
}

// Another writer holds the file: an attempt gives up soon, so that the save is
// not held up; the outcome of a save already made waits it out.
TEST_F(HistoryStore, AnOutcomeWaitsOutAWriterThatAnAttemptGivesUpOn) {
    StoreOptions options;
    options.busyTimeout = 100ms;
    options.outcomeWait = 20s;
    auto opened = OpenHistoryStore(path, options);
    ASSERT_TRUE(opened) << opened.failure().message;
    const auto store = std::move(opened).take();
    const auto attempt = store->RecordAttempt(Attempt("A00000001"));
    ASSERT_TRUE(attempt);

    RawDatabase writer(path);
    writer.Exec("BEGIN IMMEDIATE");
    EXPECT_FALSE(store->RecordAttempt(Attempt("B00000002")));
    std::thread release([&writer] {
        std::this_thread::sleep_for(500ms);
        writer.Exec("COMMIT");
    });
    const auto outcome = store->RecordOutcome(attempt->id, Outcome("confirmed"));
    release.join();
    EXPECT_TRUE(outcome) << outcome.failure().message;
}

// A file written before the history used WAL is switched on opening, its rows
// and chain as they were; once no program has it open, the file alone holds
// every row.
TEST_F(HistoryStore, AnOlderFileIsSwitchedToWal) {
    Save(*Open(), "A00000001", "confirmed");
    RawDatabase(path).Exec("PRAGMA journal_mode = DELETE");
    ASSERT_EQ(RawDatabase(path).Scalar("PRAGMA journal_mode"), "delete");
    {
        auto store = Open();
        Save(*store, "A00000001", "not acknowledged");
        EXPECT_EQ(RawDatabase(path).Scalar("PRAGMA journal_mode"), "wal");
        EXPECT_TRUE(std::filesystem::exists(path + "-wal"));
    }
    EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
    const ChainCheck check = Verify();
    EXPECT_TRUE(check.Intact()) << check.problem;
    EXPECT_EQ(check.rows, 4);
}

// Rows cut from the end together with the id counter leave a chain that
// verifies; only a head kept from before the cut shows it.
TEST_F(HistoryStore, AHeadKeptElsewhereShowsRowsCutFromTheEnd) {
    std::string first;
    std::string second;
    {
        auto store = Open();
        Save(*store, "A00000001", "confirmed", &first);
        Save(*store, "A00000001", "confirmed", &second);
    }
    EXPECT_EQ(Verify(first).anchorRow, 2);
    EXPECT_EQ(Verify(second).anchorRow, 4);
    EXPECT_FALSE(Verify(std::string(64, 'a')).anchorRow);

    {
        RawDatabase raw(path);
        raw.Exec(testing::kDropGuards);
        raw.Exec("DELETE FROM saves WHERE id > 2;"
                 "UPDATE sqlite_sequence SET seq = 2 WHERE name = 'saves'");
    }
    const ChainCheck cut = Verify(second);
    EXPECT_TRUE(cut.Intact()) << cut.problem; // the chain alone cannot tell
    EXPECT_EQ(cut.rows, 2);
    EXPECT_EQ(cut.head, first);
    EXPECT_FALSE(cut.anchorRow);
    // Saves made after the cut do not bring the lost head back.
    Save(*Open(), "B00000002", "confirmed");
    EXPECT_FALSE(Verify(second).anchorRow);
    EXPECT_EQ(Verify(first).anchorRow, 2);
}

// What the history commands read must already be a history: a missing or
// empty file is refused and left as it was, never made an empty history.
TEST_F(HistoryStore, AHistoryToReadIsNeverCreated) {
    std::ofstream(folder / "empty.sqlite3").flush();
    const struct {
        const char* name;
        std::string path;
        const char* says;
    } cases[] = {
        {"a missing file", folder / "history.sqlite3", "there is no history of saves at"},
        {"a missing folder", folder / "gone/history.sqlite3", "there is no history of saves at"},
        {"an empty file", folder / "empty.sqlite3", "holds no history of saves"},
    };
    StoreOptions read;
    read.create = false;
    read.createFolder = true; // no matter: nothing is created to read
    for (const auto& c : cases) {
        const auto opened = OpenHistoryStore(c.path, read);
        ASSERT_FALSE(opened) << c.name;
        EXPECT_NE(opened.failure().message.find(c.says), std::string::npos)
            << c.name << ": " << opened.failure().message;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "history.sqlite3"));
    EXPECT_FALSE(std::filesystem::exists(folder / "gone"));
    EXPECT_EQ(std::filesystem::file_size(folder / "empty.sqlite3"), 0u);
}

TEST_F(HistoryStore, FilesItCannotUseAreRefusedAndLeftAlone) {
    Save(*Open(), "A00000001", "confirmed");
    RawDatabase(path).Exec("UPDATE korvel_schema SET version = 4");
    const auto newer = OpenHistoryStore(path, {});
    ASSERT_FALSE(newer);
    EXPECT_NE(newer.failure().message.find("newer Korvel"), std::string::npos);
    EXPECT_EQ(RawDatabase(path).Scalar("SELECT count(*) FROM saves"), "2");

    const std::string text = folder / "notes.txt";
    std::ofstream(text) << "not a database, but someone's notes\n";
    EXPECT_FALSE(OpenHistoryStore(text, {}));
    EXPECT_FALSE(OpenHistoryStore(folder / "missing/history.sqlite3", {}));
    StoreOptions makeFolder;
    makeFolder.createFolder = true;
    EXPECT_TRUE(OpenHistoryStore(folder / "made/history.sqlite3", makeFolder));
}

// A file of the first layout gains the outbox of the shared history: a bench
// id made once, and every row it held waiting to be sent.
TEST_F(HistoryStore, AnOlderFileBecomesAnOutboxWithEveryRowWaiting) {
    Save(*Open(), "A00000001", "confirmed");
    RawDatabase(path).Exec(
        "DROP TABLE bench; DROP TABLE outbox; UPDATE korvel_schema SET version = 1");
    auto store = Open();
    const auto bench = store->Bench();
    ASSERT_TRUE(bench) << bench.failure().message;
    const std::string id = bench->id;
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(*store->UnsentCount(), 2);
    const auto rows = store->Unsent(10);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].kind, "attempt");
    EXPECT_EQ((*rows)[0].attempt.serialNumber, "A00000001");
    EXPECT_EQ((*rows)[1].attemptId, (*rows)[0].id);
    EXPECT_EQ((*rows)[1].outcome.result, "confirmed");
    ASSERT_TRUE(store->MarkSent((*rows)[0].id));
    EXPECT_EQ(*store->UnsentCount(), 1);
    // An acknowledgement never moves the mark back.
    ASSERT_TRUE(store->MarkSent(0));
    EXPECT_EQ(*store->UnsentCount(), 1);
    EXPECT_TRUE(store->Verify("")->Intact());
    store.reset();
    EXPECT_EQ(Open()->Bench()->id, id);
}

// The bench id is kept beside the file too. A file of the second layout (no
// id beside it yet) keeps its id; a copy without the id beside it, or put
// where another bench's id is, takes a new id for the rows it has not sent,
// keeping every row and the old id for those it has.
TEST_F(HistoryStore, ACopyOfTheFileTakesANewBenchIdForWhatItHasNotSent) {
    Save(*Open(), "A00000001", "confirmed");
    RawDatabase(path).Exec("ALTER TABLE bench DROP COLUMN from_row;"
                           " UPDATE korvel_schema SET version = 2");
    std::filesystem::remove(BenchFilePath(path));
    const std::string id = Open()->Bench()->id;
    EXPECT_TRUE(std::filesystem::exists(BenchFilePath(path)));
    {
        auto store = Open();
        EXPECT_EQ(store->Bench()->id, id);
        ASSERT_TRUE(store->MarkSent(1));
    }
    const std::string copy = folder / "copy.sqlite3";
    std::filesystem::copy_file(path, copy);
    auto copied = std::move(OpenHistoryStore(copy, {})).take();
    const BenchIdentity forked = *copied->Bench();
    EXPECT_NE(forked.id, id);
    EXPECT_EQ(forked.fromRow, 2);
    EXPECT_EQ(*copied->UnsentCount(), 1);
    EXPECT_TRUE(copied->Verify("")->Intact());
    copied.reset();
    EXPECT_EQ((*OpenHistoryStore(copy, {}))->Bench()->id, forked.id) << "forks once";

    // The other bench's id beside it: a copy too.
    std::filesystem::copy_file(BenchFilePath(copy), BenchFilePath(path),
                               std::filesystem::copy_options::overwrite_existing);
    const std::string third = Open()->Bench()->id;
    EXPECT_NE(third, id);
    EXPECT_NE(third, forked.id);
    EXPECT_EQ(RawDatabase(path).Scalar("SELECT count(*) FROM saves"), "2");
}

// Saves from several threads, and from another program, chain onto one another.
TEST_F(HistoryStore, ConcurrentSavesKeepOneChain) {
    auto store = Open();
    auto otherProgram = Open();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        history::HistoryStore& target = t % 2 == 0 ? *store : *otherProgram;
        threads.emplace_back([&target, t] {
            for (int i = 0; i < 10; ++i) {
                const auto attempt = target.RecordAttempt(Attempt("T0000000" + std::to_string(t)));
                ASSERT_TRUE(attempt) << attempt.failure().message;
                const auto outcome = target.RecordOutcome(attempt->id, Outcome("confirmed"));
                ASSERT_TRUE(outcome) << outcome.failure().message;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const auto check = store->Verify("");
    ASSERT_TRUE(check) << check.failure().message;
    EXPECT_TRUE(check->Intact()) << check->problem;
    EXPECT_EQ(check->rows, 80);
}

TEST(HistoryPath, FollowsXdgDataHome) {
    const struct {
        const char* dataHome;
        const char* home;
        const char* path;
    } cases[] = {
        {"/data", "/home/ada", "/data/korvel/history.sqlite3"},
        {nullptr, "/home/ada", "/home/ada/.local/share/korvel/history.sqlite3"},
        {"relative", "/home/ada", "/home/ada/.local/share/korvel/history.sqlite3"},
        {nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        const auto environment = [&c](const char* name) -> const char* {
            return std::string(name) == "XDG_DATA_HOME" ? c.dataHome
                   : std::string(name) == "HOME"        ? c.home
                                                        : nullptr;
        };
        EXPECT_EQ(DefaultHistoryPath(environment), c.path);
    }
}

TEST(HistoryPath, UtcTextRoundTrips) {
    const auto time = kNoon + 59min + 7s + 5ms;
    EXPECT_EQ(UtcMillisecondsText(time), "2025-06-01T12:59:07.005Z");
    EXPECT_EQ(ParseUtcText(UtcMillisecondsText(time)), time);
    EXPECT_FALSE(ParseUtcText("2025-02-30T12:00:00.000Z"));
    EXPECT_FALSE(ParseUtcText("2025-06-01 12:00:00"));
}

} // namespace
} // namespace korvel::history
