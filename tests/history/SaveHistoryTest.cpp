#include "history/SaveHistory.h"
#include "tests/support/FakeHistory.h"

#include <gtest/gtest.h>

namespace korvel::history {
namespace {

TEST(SaveHistory, AFailedAttemptRowWarnsOrStopsTheSave) {
    const struct {
        const char* name;
        bool kept;     // a history is kept
        bool refusing; // and cannot take the row
        bool required;
        bool maySave;
        bool warned;
    } cases[] = {
        {"no history kept", false, false, true, true, false},
        {"recorded", true, false, true, true, false},
        {"locked, not required", true, true, false, true, true},
        {"locked, required", true, true, true, false, true},
    };
    for (const auto& c : cases) {
        testing::FakeHistory fake;
        fake.refuse = c.refusing;
        const AttemptRecord record = BeginSave(c.kept ? &fake : nullptr, SaveAttempt{}, c.required);
        EXPECT_EQ(record.maySave, c.maySave) << c.name;
        EXPECT_EQ(!record.warning.empty(), c.warned) << c.name;
        EXPECT_EQ(record.row.has_value(), c.kept && !c.refusing) << c.name;
    }
}

TEST(SaveHistory, TheOutcomeJoinsItsAttemptOrWarns) {
    testing::FakeHistory fake;
    const AttemptRecord record = BeginSave(&fake, SaveAttempt{}, false);
    SaveOutcome outcome;
    outcome.result = "confirmed";
    const auto written = FinishSave(&fake, record, outcome);
    ASSERT_TRUE(written);
    ASSERT_TRUE(written.value());
    EXPECT_EQ(written.value()->hash, testing::FakeHistory::HashOf(2)); // the outcome's row
    ASSERT_EQ(fake.Saves().size(), 1u);
    EXPECT_EQ(fake.Saves()[0].outcome->result, "confirmed");

    const AttemptRecord second = BeginSave(&fake, SaveAttempt{}, false);
    fake.refuse = true;
    const auto refused = FinishSave(&fake, second, outcome);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.failure().message, "the history could not record the outcome of this save "
                                         "(history.sqlite3 is locked by another program)");
    // No attempt row, no outcome row and nothing to warn about twice.
    const auto none = FinishSave(&fake, AttemptRecord{}, outcome);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none.value());
}

} // namespace
} // namespace korvel::history
