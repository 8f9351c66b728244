#include "history/HistoryStore.h"
#include "tests/history/HistoryFixture.h"

#include <gtest/gtest.h>

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
        std::string error;
        auto store = OpenHistoryStore(path, {busy, false}, error);
        EXPECT_TRUE(store) << error;
        return store;
    }
    std::int64_t Save(history::HistoryStore& store, const std::string& serial,
                      const std::string& result) {
        std::string error;
        const auto id = store.RecordAttempt(Attempt(serial), error);
        EXPECT_TRUE(id) << error;
        EXPECT_TRUE(store.RecordOutcome(*id, Outcome(result), error)) << error;
        return *id;
    }

    TempFolder folder;
    std::string path = folder / "history.sqlite3";
};

TEST_F(HistoryStore, ListsSavesNewestFirstWithTheirOutcomes) {
    auto store = Open();
    const std::int64_t first = Save(*store, "A00000001", "confirmed");
    const std::int64_t second = Save(*store, "B00000002", "not acknowledged");
    std::string error;
    const auto open = store->RecordAttempt(Attempt("A00000001", 9), error); // no outcome yet

    const auto all = store->List("", error);
    ASSERT_TRUE(all) << error;
    ASSERT_EQ(all->size(), 3u);
    EXPECT_EQ((*all)[0].id, *open);
    EXPECT_FALSE((*all)[0].outcome);
    EXPECT_EQ((*all)[1].id, second);
    EXPECT_EQ((*all)[1].outcome->result, "not acknowledged");
    EXPECT_FALSE((*all)[1].outcome->readBack);
    EXPECT_EQ((*all)[2].id, first);

    const auto one = store->List("A00000001", error);
    ASSERT_TRUE(one);
    ASSERT_EQ(one->size(), 2u);
    EXPECT_EQ((*one)[1].id, first);

    const auto found = store->Find(first, error);
    ASSERT_TRUE(found) << error;
    EXPECT_EQ(found->attempt.time, kNoon + 250ms);
    EXPECT_EQ(found->attempt.operatorName, "ada");
    EXPECT_EQ(found->attempt.frame, Attempt("").frame);
    EXPECT_EQ(found->attempt.before, Attempt("").before);
    ASSERT_TRUE(found->outcome);
    EXPECT_EQ(found->outcome->readBack, std::vector<std::uint8_t>(210, 7));
    EXPECT_FALSE(store->Find(99, error));

    EXPECT_EQ(store->LastConfirmedSave("A00000001"), kNoon);
    EXPECT_FALSE(store->LastConfirmedSave("B00000002"));
}

// The newest confirmed save, not the first, nor a newer one that failed.
TEST_F(HistoryStore, TheLastConfirmedSaveIsTheNewestConfirmedOne) {
    auto store = Open();
    const auto save = [&](const char* result, std::chrono::system_clock::time_point time) {
        std::string error;
        const auto id = store->RecordAttempt(Attempt("A00000001"), error);
        ASSERT_TRUE(id) << error;
        ASSERT_TRUE(store->RecordOutcome(*id, Outcome(result, time), error)) << error;
    };
    save("confirmed", kNoon - std::chrono::days(30));
    save("confirmed", kNoon - 1h);
    save("not acknowledged", kNoon);
    EXPECT_EQ(store->LastConfirmedSave("A00000001"), kNoon - 1h);
}

TEST_F(HistoryStore, AnIntactChainVerifiesAfterReopening) {
    Save(*Open(), "A00000001", "confirmed");
    auto store = Open();
    Save(*store, "A00000001", "read-back differs");
    std::string error;
    const auto check = store->Verify(error);
    ASSERT_TRUE(check) << error;
    EXPECT_TRUE(check->Intact()) << check->problem;
    EXPECT_EQ(check->rows, 4);
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
        std::string error;
        const auto check = Open()->Verify(error);
        ASSERT_TRUE(check) << c.name << ": " << error;
        EXPECT_EQ(check->row, c.row) << c.name << ": " << check->problem;
        EXPECT_NE(check->problem.find(c.says), std::string::npos)
            << c.name << ": " << check->problem;
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
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(store->RecordAttempt(Attempt("A00000001"), error));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_NE(error.find("locked by another program"), std::string::npos) << error;
    EXPECT_FALSE(OpenHistoryStore(path, {100ms, false}, error));
    EXPECT_NE(error.find("locked"), std::string::npos) << error;

    other.Exec("COMMIT");
    EXPECT_TRUE(store->RecordAttempt(Attempt("A00000001"), error)) << error;
}

TEST_F(HistoryStore, FilesItCannotUseAreRefusedAndLeftAlone) {
    Save(*Open(), "A00000001", "confirmed");
    RawDatabase(path).Exec("UPDATE korvel_schema SET version = 2");
    std::string error;
    EXPECT_FALSE(OpenHistoryStore(path, {}, error));
    EXPECT_NE(error.find("newer Korvel"), std::string::npos) << error;
    EXPECT_EQ(RawDatabase(path).Scalar("SELECT count(*) FROM saves"), "2");

    const std::string text = folder / "notes.txt";
    std::ofstream(text) << "not a database, but someone's notes\n";
    EXPECT_FALSE(OpenHistoryStore(text, {}, error));
    EXPECT_FALSE(OpenHistoryStore(folder / "missing/history.sqlite3", {}, error));
    EXPECT_TRUE(OpenHistoryStore(folder / "made/history.sqlite3", {2000ms, true}, error)) << error;
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
                std::string error;
                const auto id =
                    target.RecordAttempt(Attempt("T0000000" + std::to_string(t)), error);
                ASSERT_TRUE(id) << error;
                ASSERT_TRUE(target.RecordOutcome(*id, Outcome("confirmed"), error)) << error;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::string error;
    const auto check = store->Verify(error);
    ASSERT_TRUE(check) << error;
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
