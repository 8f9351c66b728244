#pragma once
// Decisions of the parameter window that need no widget: which typed
// characters the edit filters let through, the items of the number lists, the
// start-mode table and the trip memo's length rule.

#include "window/Catalogue.h"

#include <QChar>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

namespace korvel::window {

inline constexpr int kSerialNumberMaxLength = 9;
inline constexpr int kPasswordMaxLength = 6;
// The trip memo holds at most this many characters, a line break counting as two.
inline constexpr int kTripInfoMaxLength = 99;

// Backspace, tab and carriage return: the keys every filter lets through.
bool IsEditingKey(QChar key);

// Numeric edits: editing keys, ASCII digits, the minus anywhere, and one decimal
// character: the full stop or the locale's `decimalSeparator`, unless `text`
// already holds either.
bool NumberKeyAccepted(QChar key, const QString& text, QChar decimalSeparator);

// A numeric edit's text as the save reads it, one byte per character: the
// locale's `decimalSeparator` becomes `separatorByte`, the single-byte character
// the window shows values with (the full stop where the locale's has no
// single-byte form, as U+066B of Persian and Arabic).
QString NumberTextForSave(const QString& text, QChar decimalSeparator, char separatorByte);

// Password: editing keys, ASCII digits and ASCII letters.
bool CharKeyAccepted(QChar key);

// Serial number: a letter only as the first character of an empty box; digits
// and editing keys always.
bool SerialNumberKeyAccepted(QChar key, const QString& text);

// "first", "first+step", ... up to and including `last`, without leading zeros.
QStringList NumberItems(int first, int last, int step = 1);

// The texts of a catalogue list, in its order and the user's language.
template <typename T, std::size_t N>
QStringList ItemTexts(const std::array<catalogue::Item<T>, N>& items) {
    QStringList texts;
    for (const catalogue::Item<T>& item : items) {
        texts.append(QCoreApplication::translate("Catalogue", std::string(item.text).c_str()));
    }
    return texts;
}

// The enabled state the start-mode list asks of the start-delay and start-time
// lists; nullopt for an index that stands for no start mode.
struct StartModeEnabling {
    bool startDelay = false;
    bool startTime = false;
};
std::optional<StartModeEnabling> StartModeEnablingFor(int startModeIndex);

// Length of trip information as the logger counts it: a line break is two.
int TripInfoLength(const QString& text);

// The longest leading part of `insert` whose TripInfoLength is at most `room`.
QString FitTripInfo(const QString& insert, int room);

} // namespace korvel::window
