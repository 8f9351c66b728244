#include "protocol/SettingsText.h"

#include <cstdio>

namespace korvel::protocol {

namespace {

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';

} // namespace

std::string TwoDigits(unsigned number) {
    std::string text = std::to_string(number);
    return text.size() < 2 ? "0" + text : text;
}

std::string DurationText(const Duration& duration) {
    return TwoDigits(duration.hours) + ":" + TwoDigits(duration.minutes) + ":" +
           TwoDigits(duration.seconds);
}

std::string StartDelayText(const StartDelay& delay) {
    return TwoDigits(delay.hours) + ":" + TwoDigits(delay.minutes);
}

std::string DateTimeText(const DateTime& at) {
    // Room for any int, so the year is never cut.
    char year[16];
    std::snprintf(year, sizeof year, "%04d", at.year);
    return std::string(year) + "-" + TwoDigits(at.month) + "-" + TwoDigits(at.day) + "T" +
           TwoDigits(at.hour) + ":" + TwoDigits(at.minute) + ":" + TwoDigits(at.second);
}

std::string TripTextOf(std::string_view stored) {
    std::string text;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == kCarriageReturn && i + 1 < stored.size() && stored[i + 1] == kLineFeed) {
            continue;
        }
        text += stored[i];
    }
    return text;
}

std::string TripBytesOf(std::string_view text, std::string_view held) {
    if (TripTextOf(held) == text) {
        return std::string(held);
    }
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kLineFeed && (i == 0 || text[i - 1] != kCarriageReturn)) {
            bytes += kCarriageReturn;
        }
        bytes += text[i];
    }
    return bytes;
}

} // namespace korvel::protocol
