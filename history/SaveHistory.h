#pragma once
// The record of every save, as the programs that save see it: an attempt
// written before the save frame goes out, and its outcome after. The window
// and korvel-cli hold a SaveHistory; the SQLite store implements it, tests
// and --no-history use others. Plain C++ (no Qt), so korvel-cli can carry it
// to Windows.

#include "protocol/Result.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvel::history {

struct SaveAttempt {
    std::chrono::system_clock::time_point time; // UTC
    std::string operatorName;                   // login name unless chosen
    std::string host;
    std::string program; // "korvel 3.0.0", "korvel-cli 3.0.0"
    std::string port;
    std::string serialNumber;         // as read before the save
    std::vector<std::uint8_t> before; // the parameter block read before the save
    std::vector<std::uint8_t> frame;  // the save frame about to be sent
    std::string clockSync;            // the computer clock's state, e.g. "synchronised"
    std::string batch;                // the provisioning batch; empty for a single save
};

// How a save ended.
enum class Outcome {
    Confirmed,       // acknowledged and read back the same
    NotAcknowledged, // sent, no acknowledgement
    ReadBackFailed,  // acknowledged, the read-back got no block
    ReadBackDiffers, // acknowledged, the logger holds something else
    NotVerified,     // acknowledged, not read back
    NotSent,
    Interrupted, // cut short while in flight: the logger's state is unknown
};

// The word the history stores for an outcome, and the programs print: the
// words of existing history files, never to be changed.
const char* OutcomeName(Outcome outcome);

struct SaveOutcome {
    std::chrono::system_clock::time_point time; // UTC
    std::string result;                         // OutcomeName of how it ended, as stored
    bool acknowledged = false;
    std::optional<std::vector<std::uint8_t>> readBack; // the block read after, when read
    std::string detail;                                // the differing keys, the error text
};

// The newest save of one logger the history holds: when it was attempted, by
// whom, on which bench, and how it ended (an OutcomeName; empty while it has
// no outcome row).
struct LastSave {
    std::chrono::system_clock::time_point time; // UTC, of the attempt
    std::string operatorName;
    std::string bench; // the computer that saved
    std::string result;
};

// How long LastSaveOf waits for another program's lock on the history: the
// window asks right after a Read, and goes on without the answer.
inline constexpr std::chrono::milliseconds kLastSaveWait{250};

// A row the history wrote: its id, and its SHA-256 hash, onto which every
// later row chains. Right after it is written the hash is the history's head:
// kept elsewhere, it anchors the history up to that row (`history verify
// --expect-head`).
struct RecordedRow {
    std::int64_t id = 0;
    std::string hash; // 64 lower-case hex digits
};

class SaveHistory {
public:
    virtual ~SaveHistory() = default;
    // Writes the attempt row; the failure says why it could not (a locked or
    // unwritable store). Callers that require a history do not save without
    // the row. Safe to call from several threads.
    virtual protocol::Result<RecordedRow> RecordAttempt(const SaveAttempt& attempt) = 0;
    // Writes the outcome row of an attempt. The save is over by then, so a
    // store waits far longer for it than for an attempt (StoreOptions).
    virtual protocol::Result<RecordedRow> RecordOutcome(std::int64_t attempt,
                                                        const SaveOutcome& outcome) = 0;
    // When the logger with this serial number last had a confirmed save, if ever.
    virtual std::optional<std::chrono::system_clock::time_point>
    LastConfirmedSave(const std::string& serialNumber) = 0;
    // The logger's newest save, whatever its outcome; nothing when the history
    // holds none or could not be read within kLastSaveWait.
    virtual std::optional<LastSave> LastSaveOf(const std::string& serialNumber) = 0;
};

// What a save does about its record. A store that cannot take the attempt
// costs a warning, not the save, unless the record is required.
struct AttemptRecord {
    std::optional<RecordedRow> row; // the attempt row, when it was written
    std::string warning; // why there is no record; empty when there is one or none is kept
    bool maySave = true;
};

// `history` may be null (no history kept): the save may go ahead, no warning.
AttemptRecord BeginSave(SaveHistory* history, const SaveAttempt& attempt, bool required);

// Writes the outcome of a recorded attempt: the outcome row, or nothing when
// there was no attempt row (or no history); the failure's message is the
// warning to give when it could not be written.
protocol::Result<std::optional<RecordedRow>>
FinishSave(SaveHistory* history, const AttemptRecord& attempt, const SaveOutcome& outcome);

} // namespace korvel::history
