#include "window/FieldRules.h"

namespace korvel::window {
namespace {

// The filters work on the logger's 8-bit character classes, so only ASCII
// letters and digits count; QChar::isDigit would also let other scripts in.
bool IsAsciiDigit(QChar key) {
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

bool IsAsciiLetter(QChar key) {
    return (key >= QLatin1Char('A') && key <= QLatin1Char('Z')) ||
           (key >= QLatin1Char('a') && key <= QLatin1Char('z'));
}

bool IsLineBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator ||
           c == QChar::LineSeparator;
}

} // namespace

bool IsEditingKey(QChar key) {
    return key == QLatin1Char('\b') || key == QLatin1Char('\t') || key == QLatin1Char('\r');
}

bool NumberKeyAccepted(QChar key, const QString& text, QChar decimalSeparator) {
    const QChar point = QLatin1Char('.');
    if (key == point || key == decimalSeparator) {
        return !text.contains(point) && !text.contains(decimalSeparator);
    }
    return IsEditingKey(key) || IsAsciiDigit(key) || key == QLatin1Char('-');
}

QString NumberTextForSave(const QString& text, QChar decimalSeparator, char separatorByte) {
    QString bytes = text;
    bytes.replace(decimalSeparator, QLatin1Char(separatorByte));
    return bytes;
}

bool CharKeyAccepted(QChar key) {
    return IsEditingKey(key) || IsAsciiDigit(key) || IsAsciiLetter(key);
}

bool SerialNumberKeyAccepted(QChar key, const QString& text) {
    if (IsEditingKey(key) || IsAsciiDigit(key)) {
        return true;
    }
    return IsAsciiLetter(key) && text.isEmpty();
}

QStringList NumberItems(int first, int last, int step) {
    QStringList items;
    for (int value = first; value <= last; value += step) {
        items.append(QString::number(value));
    }
    return items;
}

std::optional<StartModeEnabling> StartModeEnablingFor(int startModeIndex) {
    switch (startModeIndex) {
    case 0:
        return StartModeEnabling{false, false};
    case 1:
        return StartModeEnabling{true, false};
    case 2:
        return StartModeEnabling{false, true};
    default:
        return std::nullopt;
    }
}

int TripInfoLength(const QString& text) {
    int length = 0;
    for (int i = 0; i < text.size(); ++i) {
        // "\r\n" is one line break, as the logger stores it.
        if (text[i] == QLatin1Char('\r') && i + 1 < text.size() &&
            text[i + 1] == QLatin1Char('\n')) {
            ++i;
        }
        length += IsLineBreak(text[i]) ? 2 : 1;
    }
    return length;
}

QString FitTripInfo(const QString& insert, int room) {
    int used = 0;
    int end = 0;
    while (end < insert.size()) {
        int width = 1;
        int step = 1;
        if (IsLineBreak(insert[end])) {
            width = 2;
            if (insert[end] == QLatin1Char('\r') && end + 1 < insert.size() &&
                insert[end + 1] == QLatin1Char('\n')) {
                step = 2;
            }
        } else if (insert[end].isHighSurrogate() && end + 1 < insert.size()) {
            step = 2; // never split a surrogate pair
            width = 2;
        }
        if (used + width > room) {
            break;
        }
        used += width;
        end += step;
    }
    return insert.left(end);
}

} // namespace korvel::window
