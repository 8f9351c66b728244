#include "history/HistoryStore.h"
#include "platform/DataFolder.h"

#include <cstdio>

namespace korvel::history {

std::string DefaultHistoryPath(const std::function<const char*(const char*)>& environment) {
    return platform::UserDataFile("history.sqlite3", environment);
}

std::string UtcMillisecondsText(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[32];
    std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return text;
}

std::optional<std::chrono::system_clock::time_point> ParseUtcText(const std::string& text) {
    using namespace std::chrono;
    int year = 0;
    unsigned month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2u-%2uT%2u:%2u:%2u.%3uZ%n", &year, &month, &day, &hour,
                    &minute, &second, &millisecond, &used) != 7 ||
        static_cast<std::size_t>(used) != text.size()) {
        return std::nullopt;
    }
    const year_month_day date{std::chrono::year(year), std::chrono::month(month),
                              std::chrono::day(day)};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return sys_days(date) + hours(hour) + minutes(minute) + seconds(second) +
           milliseconds(millisecond);
}

std::string BenchFilePath(const std::string& historyPath) {
    return historyPath + ".bench";
}

} // namespace korvel::history
