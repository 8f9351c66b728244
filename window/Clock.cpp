#include "window/Clock.h"

#include "protocol/TimeZone.h"
#include "window/FieldRules.h"

#include <cmath>

namespace korvel::window {
namespace {

constexpr double kMinutesPerDay = 1440.0;
constexpr std::int64_t kMsPerDay = 86'400'000;

QDate DayZero() {
    return QDate(1899, 12, 30);
}

} // namespace

double AddMinutes(double value, std::int64_t minutes) {
    return (value * kMinutesPerDay + static_cast<double>(minutes)) / kMinutesPerDay;
}

double DateTimeToDays(const QDate& date, const QTime& time) {
    const double days = static_cast<double>(DayZero().daysTo(date));
    return days + static_cast<double>(time.msecsSinceStartOfDay()) / static_cast<double>(kMsPerDay);
}

QDateTime DaysToDateTime(double days) {
    // Whole milliseconds from day zero; floor division keeps times before it
    // (negative values) on the right day.
    const auto total =
        static_cast<std::int64_t>(std::llround(days * static_cast<double>(kMsPerDay)));
    std::int64_t wholeDays = total / kMsPerDay;
    std::int64_t ms = total % kMsPerDay;
    if (ms < 0) {
        ms += kMsPerDay;
        --wholeDays;
    }
    // UTC as the carrier: a wall-clock time must not be moved by the
    // computer's own daylight-saving gaps.
    return QDateTime(DayZero().addDays(wholeDays),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

int StandardBiasMinutes(const QTimeZone& zone, const QDateTime& at) {
    return -zone.standardTimeOffset(at) / 60;
}

int ZoneListOffsetMinutes(int zoneIndex) {
    if (zoneIndex < 0) {
        return 0;
    }
    return (zoneIndex - protocol::kUtcIndex) * protocol::kTimeZoneStepMinutes;
}

ClockIndices ClockIndicesOf(const QDateTime& dateTime) {
    const QDate date = dateTime.date();
    const QTime time = dateTime.time();
    return {date.year() - kFirstListYear,
            date.month() - 1,
            date.day() - 1,
            time.hour(),
            time.minute(),
            time.second()};
}

QDateTime ZoneClock(const QDateTime& localNow, int standardBiasMinutes, int zoneIndex) {
    const double local = DateTimeToDays(localNow.date(), localNow.time());
    const double utc = AddMinutes(local, standardBiasMinutes);
    return DaysToDateTime(AddMinutes(utc, ZoneListOffsetMinutes(zoneIndex)));
}

} // namespace korvel::window
