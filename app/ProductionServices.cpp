#include "app/ProductionServices.h"

#include "history/SharedConfig.h"
#include "platform/UserIdentity.h"

#include "platform/DataFolder.h"
#include "platform/PortInfo.h"
#include "platform/PortList.h"
#include "window/Clock.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QThread>
#include <QTimeZone>
#include <QUrl>

#include <cstdlib>
#include <ostream>

namespace korvel::app {
namespace {

// Every prompt's text, for a test that drives the window from outside and
// cannot read a message box: QT_LOGGING_RULES="korvel.prompt.info=true".
Q_LOGGING_CATEGORY(lcPrompt, "korvel.prompt", QtWarningMsg)

QString Caption() {
    return QCoreApplication::translate("Prompt", "Prompt");
}

// Boxes belong to the active window so that they stay above the frameless main window.
void ShowBox(QMessageBox::Icon icon, const QString& text) {
    qCInfo(lcPrompt).noquote() << text;
    QMessageBox box(icon, Caption(), text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace

std::optional<std::vector<std::string>> SystemPortLister::listPorts() {
    std::optional<std::vector<std::string>> listed = platform::ListSerialPorts();
    if (!listed || allPorts_) {
        return listed;
    }
    return platform::CandidatePorts(platform::DescribeSerialPorts(*listed), false);
}

FixedPortLister::FixedPortLister(std::vector<std::string> ports) : ports_(std::move(ports)) {
    platform::SortPortNames(ports_);
}

std::optional<std::vector<std::string>> FixedPortLister::listPorts() {
    return ports_;
}

void MessageBoxPrompt::information(const QString& text) {
    ShowBox(QMessageBox::Information, text);
}

void MessageBoxPrompt::warning(const QString& text) {
    ShowBox(QMessageBox::Warning, text);
}

void MessageBoxPrompt::plain(const QString& text) {
    ShowBox(QMessageBox::NoIcon, text);
}

bool MessageBoxPrompt::confirm(const QString& text) {
    qCInfo(lcPrompt).noquote() << text;
    QMessageBox box(QMessageBox::Question, Caption(), text, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Ok;
}

QDateTime SystemClock::localNow() {
    return QDateTime::currentDateTime();
}

int SystemClock::standardBiasMinutes() {
    return window::StandardBiasMinutes(QTimeZone::systemTimeZone(), QDateTime::currentDateTime());
}

void ThreadSleeper::sleepMs(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void DesktopOpener::open(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::unique_ptr<history::HistoryStore> OpenSaveHistory(std::ostream& warnings) {
    if (!history::HistoryAvailable()) {
        return nullptr;
    }
    history::StoreOptions options;
    options.createFolder = true;
    protocol::Result<std::unique_ptr<history::HistoryStore>> store = history::OpenHistoryStore(
        history::DefaultHistoryPath(platform::SystemEnvironmentVariable), options);
    if (!store) {
        warnings << "korvel: warning: " << store.failure().message << "; saves are not recorded\n";
        return nullptr;
    }
    return std::move(store).take();
}

HistoryOnFirstSave::HistoryOnFirstSave(std::ostream& warnings,
                                       std::optional<history::SharedTarget> shared)
    : warnings_(warnings), shared_(std::move(shared)) {}

history::SaveHistory* HistoryOnFirstSave::store() {
    if (!opened_) {
        opened_ = true;
        store_ = OpenSaveHistory(warnings_);
        if (store_ && shared_) {
            outbox_ = std::make_unique<history::SharedOutbox>(*store_, *shared_);
        }
    }
    return store_.get();
}

void HistoryOnFirstSave::send() {
    if (outbox_) {
        outbox_->PushInBackground();
    }
}

void HistoryOnFirstSave::SendWaitingRows() {
    if (opened_ || !shared_) {
        return;
    }
    // Only an existing history: a user who never saves still gets no file.
    history::StoreOptions options;
    options.create = false;
    auto existing = history::OpenHistoryStore(
        history::DefaultHistoryPath(platform::SystemEnvironmentVariable), options);
    if (!existing) {
        return;
    }
    opened_ = true;
    store_ = std::move(existing).take();
    outbox_ = std::make_unique<history::SharedOutbox>(*store_, *shared_);
    send();
}

std::optional<history::SharedTarget> ConfiguredSharedHistory(std::ostream& warnings) {
    if (!history::SharedHistoryAvailable()) {
        return std::nullopt;
    }
    const history::ParsedConfig config =
        history::LoadSystemConfig(platform::SystemEnvironmentVariable);
    for (const history::ConfigProblem& problem : config.problems) {
        warnings << "korvel: warning: " << problem.file << ":" << problem.line << ": "
                 << problem.message << "; line skipped\n";
    }
    return history::SharedTargetOf(config.config, "", platform::HostName());
}

namespace {

const protocol::Failure kNotOpened{protocol::Failure::Kind::System,
                                   "the history of saves could not be opened"};

} // namespace

protocol::Result<history::RecordedRow>
HistoryOnFirstSave::RecordAttempt(const history::SaveAttempt& attempt) {
    if (history::SaveHistory* opened = store()) {
        auto row = opened->RecordAttempt(attempt);
        send();
        return row;
    }
    return kNotOpened;
}

protocol::Result<history::RecordedRow>
HistoryOnFirstSave::RecordOutcome(std::int64_t attempt, const history::SaveOutcome& outcome) {
    if (history::SaveHistory* opened = store()) {
        auto row = opened->RecordOutcome(attempt, outcome);
        send();
        return row;
    }
    return kNotOpened;
}

std::optional<std::chrono::system_clock::time_point>
HistoryOnFirstSave::LastConfirmedSave(const std::string& serialNumber) {
    history::SaveHistory* opened = store();
    return opened ? opened->LastConfirmedSave(serialNumber) : std::nullopt;
}

std::optional<history::LastSave> HistoryOnFirstSave::LastSaveOf(const std::string& serialNumber) {
    if (opened_) {
        return store_ ? store_->LastSaveOf(serialNumber) : std::nullopt;
    }
    // A file that cannot be opened now is told of by the first save; a Read
    // goes on without the line and waits no longer than the lookup would.
    history::StoreOptions options;
    options.create = false;
    options.busyTimeout = history::kLastSaveWait;
    auto store = history::OpenHistoryStore(
        history::DefaultHistoryPath(platform::SystemEnvironmentVariable), options);
    return store ? (*store)->LastSaveOf(serialNumber) : std::nullopt;
}

namespace {

QString SettingsFilter() {
    return QCoreApplication::translate("FileDialogs", "Settings files (*.json);;All files (*)");
}

} // namespace

QString FileDialogs::fileToOpen() {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(),
                                        QCoreApplication::translate("FileDialogs", "Open Settings"),
                                        QString(), SettingsFilter());
}

QString FileDialogs::fileToSave() {
    QFileDialog dialog(QApplication::activeWindow(),
                       QCoreApplication::translate("FileDialogs", "Export Settings"), QString(),
                       SettingsFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

} // namespace korvel::app
