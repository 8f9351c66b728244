#include "app/ProductionServices.h"

#include "platform/PortList.h"
#include "window/Clock.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QTimeZone>
#include <QUrl>

namespace korvel::app {
namespace {

const QString kCaption = QStringLiteral("Prompt");

// Boxes belong to the active window so that they stay above the frameless main window.
void ShowBox(QMessageBox::Icon icon, const QString& text) {
    QMessageBox box(icon, kCaption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace

std::optional<std::vector<std::string>> SystemPortLister::listPorts() {
    return platform::ListSerialPorts();
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
    QMessageBox box(QMessageBox::Question, kCaption, text, QMessageBox::Ok | QMessageBox::Cancel,
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
