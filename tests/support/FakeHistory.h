#pragma once
// A SaveHistory in memory that records what it is given, in order, and can be
// told to refuse, as a locked file would.

#include "history/SaveHistory.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace korvel::testing {

class FakeHistory final : public history::SaveHistory {
public:
    struct Saved {
        std::int64_t id; // the attempt row's
        history::SaveAttempt attempt;
        std::optional<history::SaveOutcome> outcome;
    };

    // Set before the run: rows cannot be written, as with a locked store.
    bool refuse = false;
    // Set before the run: the confirmed saves the history already holds.
    std::map<std::string, std::chrono::system_clock::time_point> lastConfirmed;
    // Set before the run: the saves of each logger made before it.
    std::map<std::string, history::LastSave> earlier;
    int lookups = 0; // LastSaveOf calls

    protocol::Result<history::RecordedRow>
    RecordAttempt(const history::SaveAttempt& attempt) override {
        const std::lock_guard lock(mutex_);
        if (refuse) {
            return kLocked;
        }
        const std::int64_t id = ++rows_;
        saves_.push_back({id, attempt, std::nullopt});
        return history::RecordedRow{id, HashOf(id)};
    }
    protocol::Result<history::RecordedRow>
    RecordOutcome(std::int64_t attempt, const history::SaveOutcome& outcome) override {
        const std::lock_guard lock(mutex_);
        const auto saved = std::find_if(saves_.begin(), saves_.end(),
                                        [attempt](const Saved& s) { return s.id == attempt; });
        if (refuse || saved == saves_.end()) {
            return kLocked;
        }
        saved->outcome = outcome;
        const std::int64_t id = ++rows_;
        return history::RecordedRow{id, HashOf(id)};
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

    // The logger's newest save recorded here, else the one set in `earlier`.
    std::optional<history::LastSave> LastSaveOf(const std::string& serialNumber) override {
        const std::lock_guard lock(mutex_);
        ++lookups;
        for (auto saved = saves_.rbegin(); saved != saves_.rend(); ++saved) {
            if (saved->attempt.serialNumber == serialNumber) {
                const history::SaveAttempt& a = saved->attempt;
                return history::LastSave{a.time, a.operatorName, a.host,
                                         saved->outcome ? saved->outcome->result : ""};
            }
        }
        const auto found = earlier.find(serialNumber);
        if (found == earlier.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    // The hash the fake gives its row `row`: the row's number in 64 digits.
    static std::string HashOf(std::int64_t row) {
        const std::string digits = std::to_string(row);
        return std::string(64 - digits.size(), '0') + digits;
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
    inline static const protocol::Failure kLocked{protocol::Failure::Kind::System,
                                                  "history.sqlite3 is locked by another program"};

    mutable std::mutex mutex_;
    std::vector<Saved> saves_;
    std::int64_t rows_ = 0; // rows written, attempts and outcomes
};

} // namespace korvel::testing
