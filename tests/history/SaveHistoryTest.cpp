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
        EXPECT_EQ(record.id.has_value(), c.kept && !c.refusing) << c.name;
    }
}

TEST(SaveHistory, TheOutcomeJoinsItsAttemptOrWarns) {
    testing::FakeHistory fake;
    const AttemptRecord record = BeginSave(&fake, SaveAttempt{}, false);
    SaveOutcome outcome;
    outcome.result = "confirmed";
    EXPECT_EQ(FinishSave(&fake, record, outcome), "");
    ASSERT_EQ(fake.Saves().size(), 1u);
    EXPECT_EQ(fake.Saves()[0].outcome->result, "confirmed");

    const AttemptRecord second = BeginSave(&fake, SaveAttempt{}, false);
    fake.refuse = true;
    EXPECT_NE(FinishSave(&fake, second, outcome), "");
    // No attempt row, no outcome row and nothing to warn about twice.
    EXPECT_EQ(FinishSave(&fake, AttemptRecord{}, outcome), "");
}

} // namespace
} // namespace korvel::history
