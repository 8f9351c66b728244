// A Read before the first save looks into a history file another program
// holds: the window goes on without the line after a short wait.
#include "app/ProductionServices.h"
#include "tests/history/HistoryFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <sstream>

namespace korvel::app {
namespace {

TEST(HistoryLock, AReadGivesUpSoonOnAHistoryHeldByAnotherProgram) {
    const testing::TempFolder data;
    const char* before = std::getenv("XDG_DATA_HOME");
    const std::string restore = before ? before : "";
    ::setenv("XDG_DATA_HOME", (data / "").c_str(), 1);

    std::ostringstream warnings;
    {
        HistoryOnFirstSave earlierRun(warnings);
        history::SaveAttempt attempt;
        attempt.serialNumber = "A1";
        ASSERT_TRUE(earlierRun.RecordAttempt(attempt));
    }
    {
        testing::RawDatabase other(data / "korvel/history.sqlite3");
        other.Exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;"
                   " SELECT count(*) FROM saves");
        HistoryOnFirstSave history(warnings);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(history.LastSaveOf("A1"));
        // A save would wait two seconds for the same lock.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
        other.Exec("COMMIT");
    }
    EXPECT_TRUE(HistoryOnFirstSave(warnings).LastSaveOf("A1"));
    EXPECT_EQ(warnings.str(), "");

    if (before) {
        ::setenv("XDG_DATA_HOME", restore.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

} // namespace
} // namespace korvel::app
