#include "history/SaveHistory.h"

namespace korvel::history {

AttemptRecord BeginSave(SaveHistory* history, const SaveAttempt& attempt, bool required) {
    AttemptRecord record;
    if (history == nullptr) {
        return record;
    }
    protocol::Result<RecordedRow> row = history->RecordAttempt(attempt);
    if (row) {
        record.row = std::move(row).take();
    } else {
        record.maySave = !required;
        record.warning = "the history could not record this save (" + row.failure().message + ")" +
                         (required ? "; nothing was saved because the history is required"
                                   : "; saving without a record");
    }
    return record;
}

protocol::Result<std::optional<RecordedRow>>
FinishSave(SaveHistory* history, const AttemptRecord& attempt, const SaveOutcome& outcome) {
    if (history == nullptr || !attempt.row) {
        return std::optional<RecordedRow>();
    }
    protocol::Result<RecordedRow> row = history->RecordOutcome(attempt.row->id, outcome);
    if (!row) {
        return protocol::Failure{row.failure().kind,
                                 "the history could not record the outcome of this save (" +
                                     row.failure().message + ")"};
    }
    return std::optional<RecordedRow>(std::move(row).take());
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
