#pragma once
// A settings file opened into the window: the file's settings merged onto what
// the window holds, and which controls they reach. A file with only some keys
// changes only the controls of those keys; the rest, hidden controls included,
// keep what the last read or the user put there. No widget here.

#include "protocol/LoggerSettings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::window {

// The groups of controls that a file's keys reach; a read reaches them all.
struct ShownSettings {
    bool serialNumber = true;
    bool temperatureUnit = true;
    bool timeZone = true;
    bool logInterval = true;
    bool start = true;
    bool stopMode = true;
    bool probeMode = true;
    bool cycleSwitch = true;
    bool calibrationTemperature = true;
    bool calibrationHumidity = true;
    bool temporaryPdf = true;
    bool password = true;
    bool tripInformation = true;
    bool alarm = true;
    friend bool operator==(const ShownSettings&, const ShownSettings&) = default;
};

struct OpenedSettings {
    protocol::LoggerSettings settings; // `held` with the file's settings in place
    ShownSettings shown;
};

struct OpenedFile {
    std::optional<OpenedSettings> opened; // set exactly when `problems` is empty
    // "key.path: what is wrong", or "line 3, column 7: ..." for the JSON syntax.
    std::vector<std::string> problems;
};

// Reads a settings file's text onto `held` (the settings a save would write now).
// Refused: a file that does not parse, a value the logger does not take (an odd
// value is taken when `held` has it too, as a logger's own value is), and a
// value the window's lists do not offer (a start year before the first listed
// year, a time zone between the list's steps), which a later save could not write.
OpenedFile OpenSettingsFile(std::string_view text, const protocol::LoggerSettings& held);

} // namespace korvel::window
