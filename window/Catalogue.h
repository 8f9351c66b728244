#pragma once
// What the window's lists offer and which setting each item stands for: the
// item texts in their order, the first listed year and the number lists' steps.
// The read and the save map between settings and list indices through these
// tables only. No widget here, so the tables can be checked directly. Item texts
// are English; the lists show their translations (ItemTexts, FieldRules.h).

#include "protocol/LoggerSettings.h"

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace korvel::window {

// Years offered by the start-time and system-time lists; index = year - first.
inline constexpr int kFirstListYear = 2018;
inline constexpr int kLastListYear = 2099;
// The log-interval seconds list offers 0, 10, ... 50; index = seconds / step.
inline constexpr int kLogSecondsStep = 10;
inline constexpr int kLogSecondsLast = 50;
// Minutes of the log interval go up to 60; every other minute list to 59.
inline constexpr int kLogMinutesLast = 60;

namespace catalogue {

template <typename T> struct Item {
    T value;
    std::string_view text;
};

inline constexpr std::array<Item<protocol::StartMode>, 3> kStartModes = {{
    {protocol::StartMode::RightNow, QT_TRANSLATE_NOOP("Catalogue", "Right Now")},
    {protocol::StartMode::Delayed, QT_TRANSLATE_NOOP("Catalogue", "Delayed")},
    {protocol::StartMode::Timing, QT_TRANSLATE_NOOP("Catalogue", "Timing")},
}};
inline constexpr std::array<Item<protocol::StopMode>, 3> kStopModes = {{
    {protocol::StopMode::Button, QT_TRANSLATE_NOOP("Catalogue", "Stop by Button")},
    {protocol::StopMode::Software, QT_TRANSLATE_NOOP("Catalogue", "Stop by Software")},
    {protocol::StopMode::ButtonOrSoftware,
     QT_TRANSLATE_NOOP("Catalogue", "Stop by Button or Software")},
}};
inline constexpr std::array<Item<protocol::ProbeMode>, 2> kProbeModes = {{
    {protocol::ProbeMode::Internal, QT_TRANSLATE_NOOP("Catalogue", "Internal")},
    {protocol::ProbeMode::External, QT_TRANSLATE_NOOP("Catalogue", "External")},
}};
inline constexpr std::array<Item<protocol::CycleSwitch>, 2> kCycleSwitches = {{
    {protocol::CycleSwitch::Opened, QT_TRANSLATE_NOOP("Catalogue", "Opened")},
    {protocol::CycleSwitch::Closed, QT_TRANSLATE_NOOP("Catalogue", "Closed")},
}};
// Temporary PDF startup and password startup.
inline constexpr std::array<Item<bool>, 2> kStartups = {{
    {false, QT_TRANSLATE_NOOP("Catalogue", "Disable")},
    {true, QT_TRANSLATE_NOOP("Catalogue", "Enable")},
}};
inline constexpr std::array<Item<protocol::AlarmMode>, 2> kAlarmModes = {{
    {protocol::AlarmMode::Single, QT_TRANSLATE_NOOP("Catalogue", "Single")},
    {protocol::AlarmMode::Cumulative, QT_TRANSLATE_NOOP("Catalogue", "Cumulative")},
}};

// The index of `value` in `items`.
template <typename T, std::size_t N>
constexpr int IndexOf(const std::array<Item<T>, N>& items, const T& value) {
    for (std::size_t i = 0; i < N; ++i) {
        if (items[i].value == value) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The value at list `index`; nullopt for no selection or an index past the items.
template <typename T, std::size_t N>
constexpr std::optional<T> ValueAt(const std::array<Item<T>, N>& items, int index) {
    if (index < 0 || index >= static_cast<int>(N)) {
        return std::nullopt;
    }
    return items[static_cast<std::size_t>(index)].value;
}

} // namespace catalogue
} // namespace korvel::window
