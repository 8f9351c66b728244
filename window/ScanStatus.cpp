#include "window/ScanStatus.h"

#include "platform/OpenHints.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

namespace korvel::window {
namespace {

// German and Chinese split one port from many as English does.
QString Ports(std::size_t count) {
    return (count == 1 ? QCoreApplication::translate("ScanStatus", "%1 port")
                       : QCoreApplication::translate("ScanStatus", "%1 ports"))
        .arg(count);
}

std::size_t CountOf(const std::vector<PollOutcome>& polls, PollOutcome outcome) {
    return static_cast<std::size_t>(std::count(polls.begin(), polls.end(), outcome));
}

// Why ports were passed over, the one the user can mend first.
QString Reasons(const std::vector<PollOutcome>& polls) {
    const struct {
        PollOutcome outcome;
        const char* text;
    } reasons[] = {
        {PollOutcome::AccessDenied,
         QT_TRANSLATE_NOOP("ScanStatus",
                           "no permission for %1 (join the dialout group, see Help)")},
        {PollOutcome::Busy, QT_TRANSLATE_NOOP("ScanStatus", "%1 in use by another program")},
        {PollOutcome::Gone, QT_TRANSLATE_NOOP("ScanStatus", "%1 gone")},
        {PollOutcome::Failed, QT_TRANSLATE_NOOP("ScanStatus", "%1 would not open")},
    };
    QStringList parts;
    for (const auto& reason : reasons) {
        if (const std::size_t count = CountOf(polls, reason.outcome); count != 0) {
            parts.append(QCoreApplication::translate("ScanStatus", reason.text).arg(count));
        }
    }
    return parts.join(QCoreApplication::translate("ScanStatus", ", ", "between the reasons"));
}

} // namespace

PollOutcome PollOutcomeOf(platform::SerialError error) {
    switch (error) {
    case platform::SerialError::AccessDenied:
        // On Windows that is another program holding the port.
        return platform::PortOpenHints().accessDeniedMeansBusy ? PollOutcome::Busy
                                                               : PollOutcome::AccessDenied;
    case platform::SerialError::Busy:
        return PollOutcome::Busy;
    case platform::SerialError::NotFound:
    case platform::SerialError::DeviceGone:
        return PollOutcome::Gone;
    default:
        return PollOutcome::Failed;
    }
}

std::string ScanStatusText(const ScanProgress& scan) {
    if (scan.portCount == 0) {
        return {};
    }
    QString text;
    if (!scan.ended) {
        if (scan.polls.empty()) {
            text = QCoreApplication::translate("ScanStatus", "Looking for the logger on %1")
                       .arg(Ports(scan.portCount));
        } else {
            text = QCoreApplication::translate("ScanStatus", "Polling port %1 of %2: %3")
                       .arg(QString::number(scan.polls.size()), QString::number(scan.portCount),
                            QString::fromStdString(scan.lastPolled));
        }
    } else if (const QString reasons = Reasons(scan.polls); reasons.isEmpty()) {
        text = QCoreApplication::translate("ScanStatus", "Polled %1; no logger answered.")
                   .arg(Ports(scan.polls.size()));
    } else {
        text = QCoreApplication::translate("ScanStatus", "Polled %1, no logger: %2.")
                   .arg(Ports(scan.polls.size()), reasons);
    }
    return text.toStdString();
}

std::string ScanFailuresText(const ScanProgress& scan) {
    std::string text;
    for (const PortFailure& failure : scan.failures) {
        text += (text.empty() ? "" : "\n") + failure.port + ": ";
        const platform::SystemError& system = failure.system;
        text += system.text.empty() ? "would not open" : system.text;
        if (system.code != 0) {
            text += " (error " + std::to_string(system.code) + ")";
        }
    }
    return text;
}

} // namespace korvel::window
