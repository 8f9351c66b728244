#pragma once
// The settings' texts, one rule each, shared by validation messages, settings
// files, change lines and the command line's warnings.

#include "protocol/LoggerSettings.h"

#include <string>
#include <string_view>

namespace korvel::protocol {

// A number of at least two digits: 7 is "07", 123 is "123".
std::string TwoDigits(unsigned number);

// "HH:MM:SS" for a log interval or an alarm delay.
std::string DurationText(const Duration& duration);

// "HH:MM" for a start delay.
std::string StartDelayText(const StartDelay& delay);

// "YYYY-MM-DDTHH:MM:SS" for the logger's clock or a start time.
std::string DateTimeText(const DateTime& at);

// The trip information as people edit it: the logger's CR LF becomes "\n";
// any other byte is kept.
std::string TripTextOf(std::string_view stored);

// The bytes to save for an edited trip text. A text that reads as `held`
// (the trip information the logger holds) is saved as `held`, byte for byte,
// so that an untouched text never changes; in any other, a "\n" not already
// after CR is saved as CR LF.
std::string TripBytesOf(std::string_view text, std::string_view held);

} // namespace korvel::protocol
