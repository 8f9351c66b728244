#include "TimeZone.h"

#include "Numbers.h"

#include <cstdio>
#include <cstdlib>

namespace korvel::protocol {

namespace {
constexpr std::string_view kPlusPrefix = "UTC+";
constexpr std::size_t kHoursAt = 4;
constexpr std::size_t kMinutesAt = 7;
constexpr std::size_t kFieldWidth = 2;
constexpr int kMinutesPerHour = 60;
} // namespace

std::string TimeZoneText(const TimeZoneBytes& zone) {
    char text[16];
    std::snprintf(text, sizeof text, "UTC%c%02u:%02u", zone.sign == 0 ? '+' : '-',
                  static_cast<unsigned>(zone.hours), static_cast<unsigned>(zone.minutes));
    return text;
}

std::string TimeZoneItemText(int index) {
    const int offsetMinutes = (index - kUtcIndex) * kTimeZoneStepMinutes;
    const int magnitude = std::abs(offsetMinutes);
    TimeZoneBytes zone;
    zone.sign = offsetMinutes < 0 ? 1 : 0;
    zone.hours = static_cast<std::uint8_t>(magnitude / kMinutesPerHour);
    zone.minutes = static_cast<std::uint8_t>(magnitude % kMinutesPerHour);
    return TimeZoneText(zone);
}

Result<TimeZoneBytes> TimeZoneFromText(std::string_view text) {
    const auto field = [text](std::size_t at) {
        return at < text.size() ? text.substr(at, kFieldWidth) : std::string_view{};
    };
    const Result<std::uint8_t> hours = ByteFromText(field(kHoursAt));
    if (!hours) {
        return hours.failure();
    }
    const Result<std::uint8_t> minutes = ByteFromText(field(kMinutesAt));
    if (!minutes) {
        return minutes.failure();
    }
    TimeZoneBytes zone;
    zone.sign = text.substr(0, kPlusPrefix.size()) == kPlusPrefix ? 0 : 1;
    zone.hours = *hours;
    zone.minutes = *minutes;
    return zone;
}

} // namespace korvel::protocol
