#include "history/SaveHistory.h"

namespace korvel::history {

AttemptRecord BeginSave(SaveHistory* history, const SaveAttempt& attempt, bool required) {
    AttemptRecord record;
    if (history == nullptr) {
        return record;
    }
    std::string error;
    record.id = history->RecordAttempt(attempt, error);
    if (!record.id) {
        record.maySave = !required;
        record.warning = "the history could not record this save (" + error + ")" +
                         (required ? "; nothing was saved because the history is required"
                                   : "; saving without a record");
    }
    return record;
}

std::string FinishSave(SaveHistory* history, const AttemptRecord& attempt,
                       const SaveOutcome& outcome) {
    if (history == nullptr || !attempt.id) {
        return {};
    }
    std::string error;
    if (history->RecordOutcome(*attempt.id, outcome, error)) {
        return {};
    }
    return "the history could not record the outcome of this save (" + error + ")";
}

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Confirmed:
        return "confirmed";
    case Outcome::NotAcknowledged:
        return "not acknowledged";
    case Outcome::ReadBackFailed:
        return "read-back failed";
    case Outcome::ReadBackDiffers:
        return "read-back differs";
    case Outcome::NotVerified:
        return "not verified";
    case Outcome::NotSent:
        return "not sent";
    case Outcome::Interrupted:
        return "interrupted, state unknown";
    }
    return "";
}

} // namespace korvel::history
