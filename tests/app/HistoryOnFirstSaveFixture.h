#pragma once
// The window's history of saves with XDG_DATA_HOME in a scratch folder of
// its own for the length of a test.
#include "app/ProductionServices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

namespace korvel::app {

class HistoryOnFirstSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!history::HistoryAvailable()) {
            GTEST_SKIP() << "this build keeps no history";
        }
        ASSERT_NE(::mkdtemp(folder_), nullptr);
        data = folder_;
        const char* before = std::getenv("XDG_DATA_HOME");
        restore_ = before ? std::optional<std::string>(before) : std::nullopt;
        ::setenv("XDG_DATA_HOME", folder_, 1);
    }
    void TearDown() override {
        if (data.empty()) {
            return;
        }
        if (restore_) {
            ::setenv("XDG_DATA_HOME", restore_->c_str(), 1);
        } else {
            ::unsetenv("XDG_DATA_HOME");
        }
        std::filesystem::remove_all(data);
    }

    // One save of the logger `serial`, acknowledged and not read back.
    static void Save(history::SaveHistory& history, const std::string& serial) {
        history::SaveAttempt attempt;
        attempt.serialNumber = serial;
        attempt.operatorName = "anna";
        attempt.host = "bench-3";
        const auto row = history.RecordAttempt(attempt);
        ASSERT_TRUE(row) << row.failure().message;
        history::SaveOutcome outcome;
        outcome.result = "not verified";
        const auto written = history.RecordOutcome(row->id, outcome);
        EXPECT_TRUE(written) << written.failure().message;
    }

    std::filesystem::path data;
    std::ostringstream warnings;

private:
    char folder_[32] = "/tmp/korvel-first-save-XXXXXX";
    std::optional<std::string> restore_;
};

} // namespace korvel::app
