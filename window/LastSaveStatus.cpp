#include "window/LastSaveStatus.h"

#include <QCoreApplication>
#include <QDateTime>

#include <chrono>

namespace korvel::window {
namespace {

// How a save that did not take ended, by the word the history stores. A word
// from a newer Korvel shows as it is stored.
QString EndingOf(const std::string& result) {
    static const struct {
        history::Outcome outcome;
        const char* text;
    } endings[] = {
        {history::Outcome::NotAcknowledged, QT_TRANSLATE_NOOP("LastSave", "not acknowledged")},
        {history::Outcome::ReadBackFailed, QT_TRANSLATE_NOOP("LastSave", "read-back failed")},
        {history::Outcome::ReadBackDiffers, QT_TRANSLATE_NOOP("LastSave", "read-back differs")},
        {history::Outcome::NotSent, QT_TRANSLATE_NOOP("LastSave", "not sent")},
        {history::Outcome::Interrupted, QT_TRANSLATE_NOOP("LastSave", "interrupted")},
    };
    if (result.empty()) {
        // Still going on elsewhere, or cut short before its outcome was written.
        return QCoreApplication::translate("LastSave", "no outcome recorded");
    }
    for (const auto& ending : endings) {
        if (result == history::OutcomeName(ending.outcome)) {
            return QCoreApplication::translate("LastSave", ending.text);
        }
    }
    return QString::fromStdString(result);
}

QString OrUnknown(const std::string& text) {
    return text.empty() ? QCoreApplication::translate("LastSave", "unknown")
                        : QString::fromStdString(text);
}

} // namespace

std::string LastSaveText(const std::optional<history::LastSave>& last, const QTimeZone& zone,
                         const QLocale& locale) {
    if (!last) {
        return {};
    }
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(last->time.time_since_epoch());
    const QString when = locale.toString(QDateTime::fromMSecsSinceEpoch(milliseconds.count(), zone),
                                         QLocale::ShortFormat);
    const QString who = OrUnknown(last->operatorName);
    const QString bench = OrUnknown(last->bench);
    const bool took = last->result == history::OutcomeName(history::Outcome::Confirmed) ||
                      last->result == history::OutcomeName(history::Outcome::NotVerified);
    const QString text =
        took ? QCoreApplication::translate("LastSave", "Last saved %1 by %2 on %3")
                   .arg(when, who, bench)
             : QCoreApplication::translate("LastSave", "Last save %1 by %2 on %3: %4")
                   .arg(when, who, bench, EndingOf(last->result));
    return text.toStdString();
}

} // namespace korvel::window
