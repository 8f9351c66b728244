#include "window/SaveRecord.h"

#include "platform/UserIdentity.h"
#include "protocol/SettingsCodec.h"
#include "settingsfile/SettingsFile.h"

#include <ostream>

namespace korvel::window {

SaveRecord::SaveRecord(std::ostream& warnings) : warnings_(warnings) {}

SaveRecord::~SaveRecord() {
    Answered(false, "the window closed before the logger answered");
}

void SaveRecord::Sending(const std::string& port, const protocol::Block& frame) {
    Answered(false, "no answer before the next save");
    if (history_ == nullptr) {
        return;
    }
    history::SaveAttempt attempt;
    attempt.time = std::chrono::system_clock::now();
    attempt.operatorName = platform::LoginName();
    attempt.host = platform::HostName();
    attempt.program = program_;
    attempt.port = port;
    if (before_) {
        attempt.serialNumber =
            settingsfile::Utf8Text(protocol::DecodeSettings(*before_).serialNumber);
        attempt.before.assign(before_->begin(), before_->end());
    }
    attempt.frame.assign(frame.begin(), frame.end());
    // The window saves whether or not the row is written.
    history::AttemptRecord record = history::BeginSave(history_, attempt, false);
    if (!record.warning.empty()) {
        warn(record.warning);
    }
    if (record.row) {
        waiting_ = std::move(record);
    }
}

void SaveRecord::Answered(bool acknowledged, const std::string& detail) {
    finish(history::OutcomeName(acknowledged ? history::Outcome::NotVerified
                                             : history::Outcome::NotAcknowledged),
           acknowledged, detail);
}

void SaveRecord::NotSent() {
    finish(history::OutcomeName(history::Outcome::NotSent), false, "the port took no bytes");
}

std::optional<history::LastSave> SaveRecord::LastSave() const {
    if (history_ == nullptr || !before_) {
        return std::nullopt;
    }
    return history_->LastSaveOf(
        settingsfile::Utf8Text(protocol::DecodeSettings(*before_).serialNumber));
}

void SaveRecord::finish(const char* result, bool acknowledged, const std::string& detail) {
    if (!waiting_) {
        return;
    }
    history::SaveOutcome outcome;
    outcome.time = std::chrono::system_clock::now();
    outcome.acknowledged = acknowledged;
    outcome.result = result;
    outcome.detail = detail;
    const auto written = history::FinishSave(history_, *waiting_, outcome);
    waiting_.reset();
    if (!written) {
        warn(written.failure().message);
    }
}

void SaveRecord::warn(const std::string& message) {
    warnings_ << "korvel: warning: " << message << '\n';
}

} // namespace korvel::window
