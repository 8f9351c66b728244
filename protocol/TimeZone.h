#pragma once
// The time zone as the window lists it ("UTC+05:30") and as bytes 34-36 carry it.

#include "Result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel::protocol {

struct TimeZoneBytes {
    std::uint8_t sign = 0; // 0 for "UTC+", 1 for "UTC-"
    std::uint8_t hours = 0;
    std::uint8_t minutes = 0;
    friend bool operator==(const TimeZoneBytes&, const TimeZoneBytes&) = default;
};

// Number of items of the time-zone list, "UTC-12:00" to "UTC+14:00" in half hours.
inline constexpr int kTimeZoneCount = 53;
// Index of "UTC+00:00"; item i stands for (i - kUtcIndex) * 30 minutes.
inline constexpr int kUtcIndex = 24;
inline constexpr int kTimeZoneStepMinutes = 30;

// "UTC", sign, two-digit hours, ":", two-digit minutes; zero is "UTC+00:00".
std::string TimeZoneText(const TimeZoneBytes& zone);

// The list item at `index` (0..52), e.g. 0 gives "UTC-12:00".
std::string TimeZoneItemText(int index);

// Bytes of a list item: sign from the first four characters ("UTC+" or not),
// hours from characters 5-6, minutes from characters 8-9. Fails with NotANumber
// when those are not numbers, OutOfRange when they do not fit a byte.
Result<TimeZoneBytes> TimeZoneFromText(std::string_view text);

} // namespace korvel::protocol
