#pragma once
// One logger's save, as `write` and `provision` both do it: the attempt
// recorded, the save frame built with the clock of that moment, sent, its
// acknowledgement awaited, the logger read back and compared, the outcome
// recorded. The caller has planned the write and told the user what changes.

#include "cli/EventQueue.h"
#include "cli/Exchange.h"
#include "cli/LoggerPort.h"
#include "cli/WritePlan.h"
#include "history/SaveHistory.h"
#include "protocol/LoggerSettings.h"
#include "protocol/ParameterBlock.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvel::cli {

struct SaveRequest {
    protocol::LoggerSettings target;
    protocol::Block reply{}; // the block read before the save
    // The logger's local time for the frame, taken just before it is built.
    std::function<protocol::DateTime()> clock;
    bool verify = true;
    std::function<std::chrono::system_clock::time_point()> now; // UTC, for the record
    history::SaveHistory* history = nullptr;                    // null: no record kept
    bool requireHistory = false;
    // Asked, just before the frame goes out, whether the user asked to stop:
    // then nothing is sent. Empty: the save goes on.
    std::function<bool()> stopped;
    // Operator, host, program, clock sync and batch; the port, serial number,
    // blocks and time are filled in here.
    history::SaveAttempt attempt;
};

enum class SaveStep { Saving, ReadingBack };

struct SaveReport {
    bool held = false;    // the history is required and could not record the attempt
    bool stopped = false; // stopped by the user before the frame went out
    bool sent = false;
    bool acknowledged = false;
    bool interrupted = false;     // the queue was interrupted before the save was confirmed
    std::optional<bool> verified; // empty: not read back
    Verification verification;
    protocol::DateTime clock{};
    SaveResult save;
    std::string readBackProblem;
    history::Outcome outcome = history::Outcome::NotSent; // as the history records it
    std::string detail;
    std::vector<std::string> historyWarnings;
    // A history is kept, and it lacks this save's attempt or outcome row.
    bool unrecorded = false;
    // The last row this save wrote (its outcome, else its attempt): its hash
    // is the history's head right after the save.
    std::optional<history::RecordedRow> historyRow;

    bool Confirmed() const {
        return outcome == history::Outcome::Confirmed || outcome == history::Outcome::NotVerified;
    }
    // 0 confirmed, 1 nothing saved, 3 sent but not confirmed.
    int ExitCode() const;
};

// Runs the save on `port`, whose logger sent `request.reply`. `onStep` (may be
// empty) hears each step as it begins. An interrupted queue ends the wait in
// flight; a save sent by then is reported "interrupted, state unknown".
SaveReport SaveLogger(LoggerPort& port, EventQueue& queue, const Timing& timing,
                      const SaveRequest& request, const std::function<void(SaveStep)>& onStep);

} // namespace korvel::cli
