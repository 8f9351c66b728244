#include "app/ProductionServices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace korvel::app {
namespace {

// Start-up opens no history: the file appears with the first save's row.
TEST(HistoryOnFirstSave, OpensTheHistoryAtTheFirstSave) {
    if (!history::HistoryAvailable()) {
        GTEST_SKIP() << "this build keeps no history";
    }
    char folder[] = "/tmp/korvel-first-save-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::filesystem::path data(folder);
    const char* before = std::getenv("XDG_DATA_HOME");
    const std::string restore = before ? before : "";
    ::setenv("XDG_DATA_HOME", folder, 1);

    std::ostringstream warnings;
    {
        HistoryOnFirstSave history(warnings);
        EXPECT_FALSE(std::filesystem::exists(data / "korvel"));
        history::SaveAttempt attempt;
        attempt.serialNumber = "A1";
        const auto row = history.RecordAttempt(attempt);
        ASSERT_TRUE(row) << row.failure().message;
        history::SaveOutcome outcome;
        outcome.result = "not verified";
        const auto written = history.RecordOutcome(row->id, outcome);
        EXPECT_TRUE(written) << written.failure().message;
    }
    EXPECT_TRUE(std::filesystem::exists(data / "korvel" / "history.sqlite3"));
    EXPECT_EQ(warnings.str(), "");

    if (before) {
        ::setenv("XDG_DATA_HOME", restore.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
    std::filesystem::remove_all(data);
}

} // namespace
} // namespace korvel::app
