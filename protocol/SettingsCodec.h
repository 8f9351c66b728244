#pragma once
// The one translation between the parameter block and LoggerSettings: every byte
// rule of the read reply and of the save command lives behind these functions.
// Both directions are pure and never fail.
//
// Multiple-alarm levels are not symmetric on the line. The save command writes a
// level's integer part, hundredths and three delay bytes as two-digit packed BCD
// (25.5 with a delay of 0:10:05 as 00 25 50 <mode> 00 10 05), while the window
// reads every reply byte as a plain number (the same bytes read as 37.80 and
// 0:16:05). Whether a logger converts between the two is not known, so the
// decoder reads levels either way (LevelCoding). The single alarm, the
// calibrations and every other field are plain bytes in both directions.

#include "protocol/LoggerSettings.h"
#include "protocol/ParameterBlock.h"
#include "protocol/SettingKeys.h"

#include <cstddef>
#include <vector>

namespace korvel::protocol {

enum class LevelCoding {
    Plain,     // as the window reads a reply
    PackedBcd, // as the save command writes the levels
};

// The settings in a read reply's parameter block (the envelope is the caller's to
// check). Bytes that name no value give the unnamed form of their setting; a
// multiple-alarm level is unnamed when its bytes are no sign, limit, mode and
// delay under `levels`. Parts the reply's modes do not use keep their defaults:
// the start delay unless Delayed, the start time unless Timing, the single-alarm
// limits unless a single alarm, the levels unless a multiple alarm.
//
// The bytes no setting carries stay in `reply`: the reserved fields, the logger's
// clock (52-57), start-time bytes of another start mode, the password while
// password startup is off, level blocks the alarm does not use, trip bytes after
// the text's end. Passed to EncodeSaveFrame as `previous`, they are saved as the
// logger reported them.
LoggerSettings DecodeSettings(const Block& reply, LevelCoding levels = LevelCoding::Plain);

// The save command for `settings` with the logger-local `clock`, built on
// `previous` (the last frame sent, or the reply the settings came from), whose
// bytes survive where the settings write none: the start-time bytes the start
// mode does not use, the password while password startup is off, and the level
// blocks with no alarm. Unnamed settings write the bytes they hold.
//
// Expects settings that ValidateSettings accepts: a longer text is cut to its
// field, a number beyond its byte is written as its low 8 bits.
//
// Settings -> frame -> DecodeSettings (with PackedBcd for a multiple alarm) gives
// the settings back, except where the frame cannot carry them: a negative zero
// is written with sign 0 (as the window writes "-0"), and a multiple alarm whose
// five optional levels are all off reads back as a single alarm.
Block EncodeSaveFrame(const LoggerSettings& settings, const Block& previous, const DateTime& clock);

// Where a secret setting's value (IsSecret: the password) sits in a read reply
// and a save frame: `width` bytes from `offset`. Bytes a trace shows only as
// changed or unchanged.
struct SecretField {
    SettingKey key;
    std::size_t offset;
    std::size_t width;
};
std::vector<SecretField> SecretFields();

// The byte rules for one decimal triple and one time zone, for code that starts
// from the bytes (the window's number texts, its time-zone list).
DecimalSetting DecimalOf(const DecimalTriple& triple);
DecimalTriple TripleOf(const Decimal& number); // zero is written with sign 0
TimeZoneSetting TimeZoneOf(const TimeZoneBytes& bytes);
TimeZoneBytes TimeZoneBytesOf(int minutesEastOfUtc);

} // namespace korvel::protocol
