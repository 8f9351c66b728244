#pragma once
// Settings files, format 1: a logger's settings as JSON, for people who keep a
// known-good configuration and apply it again. Numbers are read from and
// written as their JSON text, never through binary floating point, so 1.15 is
// 115 hundredths both ways.
//
// A file names some settings; those it leaves out keep the logger's values
// (ApplySettingsFile). A value the logger reported that names nothing (a stop
// mode byte of 5, a calibration triple with 150 hundredths) is written as a
// number or a list of byte values, and reads back as the same bytes, so
// whatever WriteSettingsFile writes, ParseSettingsFile reads as the same
// settings. Ranges are not checked here but by ValidateSettings, which accepts
// an odd value when the logger itself holds it.
//
// Texts (serial number, password, trip information) are one byte a character in
// the logger and Latin-1 here; UTF-8 in the file. A line break of the trip
// information is "\n" in the file and CR LF in the logger.

#include "protocol/LoggerSettings.h"
#include "protocol/SettingKeys.h"
#include "protocol/SettingsValidation.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::settingsfile {

inline constexpr int kFormatVersion = 1;
// Larger files are refused before they are parsed.
inline constexpr std::size_t kMaxFileBytes = 1024 * 1024;

// What a file gives: the settings it names and their values.
struct SettingsFile {
    protocol::SettingKeys keys; // the settings the file gives
    // The file's values of `keys`; every other setting holds LoggerSettings'
    // default. The trip information is Latin-1 with "\n" line breaks, as the
    // file writes it; ApplySettingsFile turns it into the logger's bytes.
    protocol::LoggerSettings settings;

    bool Gives(protocol::SettingKey key) const { return keys.Has(key); }
};

// `where` is a key path ("alarm.levels.temperature_high_2.limit") or, for the
// JSON syntax, "line 3, column 7".
struct FileError {
    std::string where;
    std::string message;
    std::string Text() const { return where + ": " + message; }
};

struct ParsedFile {
    std::optional<SettingsFile> file; // set exactly when there are no errors
    std::vector<FileError> errors;
    // The settings that could be read, also when others could not, so that
    // their ranges are checked in the same pass (FileProblems).
    SettingsFile read;
};

// Reads a file's text. Every error is listed: bytes that are not UTF-8 text
// (TextFaults), JSON syntax (the first only; anything but white space after
// the object is one), a number too large to read (with its key's range),
// unknown keys (with the nearest valid key, if one is near), duplicate keys
// (the first value is read on), missing required keys, values of the wrong
// kind or form, numbers with more than two decimals or an exponent. Texts are
// composed to NFC before their characters are judged.
ParsedFile ParseSettingsFile(std::string_view text);

// The key of `keys` near enough to `key` to be what was meant: a few letters
// apart for its length, or `key` cut short; empty when none is.
std::string_view NearestKey(std::string_view key, const std::vector<std::string_view>& keys);

// Everything wrong with a file in one list, checked before any logger is
// asked: the errors of reading it, then the range problems of the settings
// that were read (CheckSettingsFile) in key order. With WaitForTheRead a
// problem that a logger holding the value accepts
// (protocol::SettingsProblem::loggerMayHold) is left out, for the check
// against that logger's settings after its read (write); with Refused every
// problem counts (check, and provision, whose loggers each take the file).
enum class HeldValues { Refused, WaitForTheRead };
std::vector<FileError> FileProblems(const ParsedFile& parsed, HeldValues held);

// The errors as the user reads them (FileError::Text): the first
// kErrorsShown, then one line "... and 74,980 more errors" for the rest.
inline constexpr std::size_t kErrorsShown = 20;
std::vector<std::string> ErrorLines(const std::vector<FileError>& errors);

// The first fault of a file's bytes as UTF-8 text, for settings files and
// manifests alike; empty when there is none. UTF-16 is named as a whole (by
// its byte-order mark FF FE or FE FF, or by the zero bytes of its ASCII
// characters); otherwise a NUL byte, or a byte that is not UTF-8 (Latin-1,
// Windows-1252), is named by its line and column. Each says to save the file as
// UTF-8. A UTF-8 byte-order mark is no fault.
std::vector<FileError> TextFaults(std::string_view bytes);

// The text without a leading UTF-8 byte-order mark, which spreadsheets and
// Windows editors write.
std::string_view WithoutByteOrderMark(std::string_view text);

// `base` with every setting the file gives replaced. A trip text that reads as
// `base`'s trip information keeps its bytes exactly; any other has its "\n"
// saved as CR LF.
protocol::LoggerSettings ApplySettingsFile(const SettingsFile& file,
                                           const protocol::LoggerSettings& base);

// The range problems of the settings the file gives, with no logger to compare
// with: a value only a logger holding it accepts is a problem here.
std::vector<protocol::SettingsProblem> CheckSettingsFile(const SettingsFile& file);

// The file of every setting, format 1, ending with a newline.
std::string WriteSettingsFile(const protocol::LoggerSettings& settings);

// Every setting as its dotted key path and its value as the file writes it,
// in file order: {"alarm.levels.temperature_high_2.limit", "25.5"}.
struct SettingLine {
    std::string key;
    std::string value;
};
std::vector<SettingLine> SettingLines(const protocol::LoggerSettings& settings);

// A setting whose value differs, with both values as the file writes them;
// kAbsent where the setting has no value on that side (a limit of an alarm
// kind the other side does not use). A secret (protocol::IsSecretPath: the
// password) shows kHidden for a text on either side, never the text itself,
// so that every change line, report and `write --json` says only that it
// changed; null (password startup off) and a code with no name show as they are.
inline constexpr std::string_view kAbsent = "(absent)";
inline constexpr std::string_view kHidden = "(hidden)";
struct Change {
    std::string key;
    std::string before;
    std::string after;
    friend bool operator==(const Change&, const Change&) = default;
};
std::vector<Change> Changes(const protocol::LoggerSettings& before,
                            const protocol::LoggerSettings& after);

// A stored (Latin-1) text as UTF-8, without quotes or escapes.
std::string Utf8Text(std::string_view stored);

// A stored (Latin-1) text as the file writes it, quotes included: "T2311\u0000".
std::string QuotedText(std::string_view stored);

} // namespace korvel::settingsfile
