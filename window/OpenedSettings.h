#pragma once
// A settings file opened into the window: the file's settings merged onto what
// the window holds, and which controls they reach. A file with only some keys
// changes only the controls of those keys; the rest, hidden controls included,
// keep what the last read or the user put there. No widget here.

#include "protocol/LoggerSettings.h"
#include "protocol/SettingKeys.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::window {

struct OpenedSettings {
    protocol::LoggerSettings settings; // `current` with the file's settings in place
    protocol::LoggerSettings held;     // `held` with the file's settings in place
    // The settings whose controls the file reaches; a read reaches them all.
    protocol::SettingKeys shown;
};

struct OpenedFile {
    std::optional<OpenedSettings> opened; // set exactly when `problems` is empty
    // "key.path: what is wrong", or "line 3, column 7: ..." for the JSON syntax.
    std::vector<std::string> problems;
};

// Reads a settings file's text onto `current` (the settings a save would write
// now). Refused: a file that does not parse, a value the logger does not take,
// and a value the window's lists do not offer (a start year before the first
// listed year, a time zone between the list's steps), which a later save could
// not write. An odd value (out of range, crossed single-alarm limits) is taken
// only as the logger's own: a value the file gives when `held` (the logger's
// own settings) has it, any other when `current` has it already, as the next
// save judges those.
OpenedFile OpenSettingsFile(std::string_view text, const protocol::LoggerSettings& current,
                            const protocol::LoggerSettings& held);

} // namespace korvel::window
