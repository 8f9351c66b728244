#pragma once
// A SaveHistory in memory: what was recorded, in order, for tests to read.

#include "history/SaveHistory.h"

#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace korvel::testing {

class FakeHistory final : public history::SaveHistory {
public:
    struct Entry {
        history::SaveAttempt attempt;
        std::optional<history::SaveOutcome> outcome;
    };

    std::optional<std::int64_t> RecordAttempt(const history::SaveAttempt& attempt,
                                              std::string& error) override {
        const std::lock_guard lock(mutex_);
        if (locked) {
            error = "database is locked";
            return std::nullopt;
        }
        entries_.push_back({attempt, std::nullopt});
        return static_cast<std::int64_t>(entries_.size() - 1);
    }
    bool RecordOutcome(std::int64_t attempt, const history::SaveOutcome& outcome,
                       std::string&) override {
        const std::lock_guard lock(mutex_);
        entries_.at(static_cast<std::size_t>(attempt)).outcome = outcome;
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

    std::vector<Entry> Entries() const {
        const std::lock_guard lock(mutex_);
        return entries_;
    }
    // The outcome of the attempt for the serial number as stored; empty when none.
    std::string ResultOf(const std::string& serialNumber) const {
        const std::lock_guard lock(mutex_);
        for (const Entry& entry : entries_) {
            if (entry.attempt.serialNumber == serialNumber) {
                return entry.outcome ? entry.outcome->result : "(no outcome)";
            }
        }
        return {};
    }

    // Set before the run: attempts cannot be written, as with a locked store.
    bool locked = false;
    // Set before the run: the confirmed saves the history already holds.
    std::map<std::string, std::chrono::system_clock::time_point> lastConfirmed;

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

} // namespace korvel::testing
