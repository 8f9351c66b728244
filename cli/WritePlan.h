#pragma once
// The decisions of `write`, apart from any port: what the file changes, what
// is refused, what deserves a warning, the clock to save, and whether the
// read-back shows what was saved.

#include "protocol/LoggerSettings.h"
#include "protocol/ParameterBlock.h"
#include "protocol/SettingsText.h"
#include "settingsfile/SettingsFile.h"

#include <chrono>
#include <string>
#include <vector>

namespace korvel::cli {

struct WritePlan {
    protocol::LoggerSettings target;           // the logger's settings with the file's applied
    std::vector<settingsfile::Change> changes; // reported -> target
    std::string otherLogger;                   // the file is for another logger: save nothing
    std::vector<std::string> refusals;         // values the logger does not take: save nothing
    std::vector<std::string> warnings;
};

// Refuses a file for another logger unless `setSerial` (so a file read from one
// logger cannot silently rename another or copy its calibration), and any
// value outside the logger's ranges that the logger does not itself hold.
WritePlan PlanWrite(const settingsfile::SettingsFile& file,
                    const protocol::LoggerSettings& reported, bool setSerial);

// The computer's UTC clock plus the zone's offset: the logger's local time.
// An unnamed zone counts by its bytes (sign byte 1 west of UTC).
protocol::DateTime LoggerClock(std::chrono::system_clock::time_point utc,
                               const protocol::TimeZoneSetting& zone);

// A timed start earlier than the clock the save writes.
std::vector<std::string> ClockWarnings(const protocol::LoggerSettings& target,
                                       const protocol::DateTime& clock);

// How the logger reports multiple-alarm levels after a save that wrote them as
// packed BCD.
enum class LevelReport {
    NoLevels,  // no multiple alarm, or the same bytes either way
    AsWritten, // the packed BCD that was written
    Plain,     // plain bytes of the same values
};

struct Verification {
    // key: before = as saved, after = as the logger reports it.
    std::vector<settingsfile::Change> differences;
    LevelReport levels = LevelReport::NoLevels;
    bool Matches() const { return differences.empty(); }
};

// Compares every setting of the save frame with the read-back reply; the
// clock is not compared (the reply does not carry it). Levels match when the
// logger reports them either as the BCD written or as plain bytes.
Verification VerifyReadBack(const protocol::Block& saved, const protocol::Block& readBack);

} // namespace korvel::cli
