#pragma once
// The arithmetic of the System Time boxes, free of widgets: the local clock
// taken back to UTC with the zone's standard bias, shifted into the zone picked
// in the window, and split into the six list indices.
//
// Date-time values count days since 30 December 1899 as a double whose
// fraction is the time of day; the clock adds its minutes on that scale.

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>

#include <cstdint>

namespace korvel::window {

// `value` plus `minutes` (earlier for a negative count): (value * 1440 + minutes) / 1440.
double AddMinutes(double value, std::int64_t minutes);

// The day count of a calendar date and wall-clock time, and back. The way back
// rounds to the nearest millisecond, so that a value that lost a few bits in
// the arithmetic above still splits into the second it stands for.
double DateTimeToDays(const QDate& date, const QTime& time);
// The result carries its wall-clock time in Qt::UTC, whatever zone it stands for.
QDateTime DaysToDateTime(double days);

// The standard (non-daylight) bias of `zone` around `at`, in minutes:
// UTC = local time + bias. Daylight saving is deliberately left out.
int StandardBiasMinutes(const QTimeZone& zone, const QDateTime& at);

// Minutes from UTC of the time-zone list item at `zoneIndex`; a list without a
// selection (-1) counts as UTC.
int ZoneListOffsetMinutes(int zoneIndex);

// The item indices of the six System Time boxes. Only the year can fall
// outside its list (before 2018 or after 2099); the caller then clears it.
struct ClockIndices {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const ClockIndices&, const ClockIndices&) = default;
};
ClockIndices ClockIndicesOf(const QDateTime& dateTime);

// One clock tick: `localNow` (its date and time of day, whatever its zone
// says) plus `standardBiasMinutes` is taken as UTC, then shifted by the zone
// at `zoneIndex` in the time-zone list.
QDateTime ZoneClock(const QDateTime& localNow, int standardBiasMinutes, int zoneIndex);

} // namespace korvel::window
