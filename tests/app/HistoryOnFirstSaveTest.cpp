#include "app/ProductionServices.h"
#include "tests/app/HistoryOnFirstSaveFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>

namespace korvel::app {
namespace {

// Start-up opens no history, nor does a Read: the file appears with the first
// save's row.
TEST_F(HistoryOnFirstSaveTest, OpensTheHistoryAtTheFirstSave) {
    {
        HistoryOnFirstSave history(warnings);
        EXPECT_FALSE(history.LastSaveOf("A1"));
        EXPECT_FALSE(std::filesystem::exists(data / "korvel"));
        Save(history, "A1");
        const auto last = history.LastSaveOf("A1");
        ASSERT_TRUE(last);
        EXPECT_EQ(last->result, "not verified");
    }
    EXPECT_TRUE(std::filesystem::exists(data / "korvel" / "history.sqlite3"));
    EXPECT_EQ(warnings.str(), "");
}

// The saves of an earlier run show at a Read before this run's first save.
TEST_F(HistoryOnFirstSaveTest, AReadBeforeTheFirstSaveFindsEarlierSaves) {
    {
        HistoryOnFirstSave earlierRun(warnings);
        Save(earlierRun, "A1");
    }
    HistoryOnFirstSave history(warnings);
    const auto last = history.LastSaveOf("A1");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->operatorName, "anna");
    EXPECT_EQ(last->bench, "bench-3");
    EXPECT_FALSE(history.LastSaveOf("B2"));
    EXPECT_EQ(warnings.str(), "");
}

} // namespace
} // namespace korvel::app
