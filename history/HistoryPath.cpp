#include "history/HistoryStore.h"

#include <cstdio>

namespace korvel::history {

namespace {

// Windows keeps a program's own files of one user under %LOCALAPPDATA%.
#if defined(_WIN32)
constexpr bool kLocalAppData = true;
#else
constexpr bool kLocalAppData = false;
#endif

} // namespace

std::string DefaultHistoryPath(const std::function<const char*(const char*)>& environment) {
    if (kLocalAppData) {
        const char* local = environment("LOCALAPPDATA");
        return local == nullptr || local[0] == '\0'
                   ? std::string()
                   : std::string(local) + "\\Korvel\\history.sqlite3";
    }
    const char* dataHome = environment("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored.
    if (dataHome != nullptr && dataHome[0] == '/') {
        return std::string(dataHome) + "/korvel/history.sqlite3";
    }
    const char* home = environment("HOME");
    if (home == nullptr || home[0] == '\0') {
        return {};
    }
    return std::string(home) + "/.local/share/korvel/history.sqlite3";
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

} // namespace korvel::history
