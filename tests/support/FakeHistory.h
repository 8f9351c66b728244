#pragma once
// A SaveHistory in memory that records what it is given, in order, and can be
// told to refuse, as a locked file would.

#include "history/SaveHistory.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvel::testing {

class FakeHistory final : public history::SaveHistory {
public:
    struct Saved {
        std::int64_t id;
        history::SaveAttempt attempt;
        std::optional<history::SaveOutcome> outcome;
    };

    // Set before the run: rows cannot be written, as with a locked store.
    bool refuse = false;
    // Set before the run: the confirmed saves the history already holds.
    std::map<std::string, std::chrono::system_clock::time_point> lastConfirmed;

    std::optional<std::int64_t> RecordAttempt(const history::SaveAttempt& attempt,
                                              std::string& error) override {
        const std::lock_guard lock(mutex_);
        if (refuse) {
            error = "history.sqlite3 is locked by another program";
            return std::nullopt;
        }
        const std::int64_t id = static_cast<std::int64_t>(saves_.size()) + 1;
        saves_.push_back({id, attempt, std::nullopt});
        return id;
    }
    bool RecordOutcome(std::int64_t attempt, const history::SaveOutcome& outcome,
                       std::string& error) override {
        const std::lock_guard lock(mutex_);
        if (refuse || attempt < 1 || attempt > static_cast<std::int64_t>(saves_.size())) {
            error = "history.sqlite3 is locked by another program";
            return false;
        }
        saves_[static_cast<std::size_t>(attempt - 1)].outcome = outcome;
        return true;
    }
    std::optional<std::chrono::system_clock::time_point>
    LastConfirmedSave(const std::string& serialNumber) override {
        const std::lock_guard lock(mutex_);
        const auto found = lastConfirmed.find(serialNumber);
        if (found == lastConfirmed.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    std::vector<Saved> Saves() const {
        const std::lock_guard lock(mutex_);
        return saves_;
    }
    // The stored outcome of the first attempt for the serial number; empty when none.
    std::string ResultOf(const std::string& serialNumber) const {
        const std::lock_guard lock(mutex_);
        for (const Saved& saved : saves_) {
            if (saved.attempt.serialNumber == serialNumber) {
                return saved.outcome ? saved.outcome->result : "(no outcome)";
            }
        }
        return {};
    }

private:
    mutable std::mutex mutex_;
    std::vector<Saved> saves_;
};

} // namespace korvel::testing
