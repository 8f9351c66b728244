#pragma once
// The window's services as the running program provides them: the port list,
// Qt message boxes, the system clock and zone, a blocking sleep and the
// desktop's opener.

#include "history/HistoryStore.h"
#include "history/SharedHistory.h"
#include "window/Services.h"

#include <iosfwd>
#include <memory>

class QWidget;

namespace korvel::app {

// The USB serial ports the system knows now (every serial port with
// `allPorts`), read afresh on every Read.
class SystemPortLister final : public window::IPortLister {
public:
    explicit SystemPortLister(bool allPorts) : allPorts_(allPorts) {}
    std::optional<std::vector<std::string>> listPorts() override;

private:
    bool allPorts_;
};

// Exactly the ports given on the command line (or the demo logger's), sorted
// like the system's.
class FixedPortLister final : public window::IPortLister {
public:
    explicit FixedPortLister(std::vector<std::string> ports);
    std::optional<std::vector<std::string>> listPorts() override;

private:
    std::vector<std::string> ports_;
};

class MessageBoxPrompt final : public window::IPrompt {
public:
    void information(const QString& text) override;
    void warning(const QString& text) override;
    void plain(const QString& text) override;
    bool confirm(const QString& text) override;
};

class SystemClock final : public window::IClock {
public:
    QDateTime localNow() override;
    int standardBiasMinutes() override;
};

class ThreadSleeper final : public window::ISleeper {
public:
    void sleepMs(int milliseconds) override;
};

class DesktopOpener final : public window::IDocumentOpener {
public:
    void open(const QString& path) override;
};

// The history of saves at its default place; nothing, after a warning on
// `warnings`, when it cannot be opened (the window saves all the same).
std::unique_ptr<history::HistoryStore> OpenSaveHistory(std::ostream& warnings);

// The history of saves, opened at the first save: start-up does not wait for
// the file, and a user who never saves gets none. Used on the window's thread.
// With a shared history, each recorded row is then sent to its server by the
// outbox's own worker, so a slow or absent server never holds the window up.
class HistoryOnFirstSave final : public history::SaveHistory {
public:
    explicit HistoryOnFirstSave(std::ostream& warnings,
                                std::optional<history::SharedTarget> shared = std::nullopt);
    // Sends the rows an earlier run left waiting, when there is a shared
    // history and a history file already; creates no file.
    void SendWaitingRows();

    protocol::Result<history::RecordedRow>
    RecordAttempt(const history::SaveAttempt& attempt) override;
    protocol::Result<history::RecordedRow>
    RecordOutcome(std::int64_t attempt, const history::SaveOutcome& outcome) override;
    std::optional<std::chrono::system_clock::time_point>
    LastConfirmedSave(const std::string& serialNumber) override;
    // Before the first save, looks into the history file only when there is
    // one, never creating it, and opens it for that look alone.
    std::optional<history::LastSave> LastSaveOf(const std::string& serialNumber) override;

private:
    history::SaveHistory* store();

    void send();

    std::ostream& warnings_;
    std::optional<history::SharedTarget> shared_;
    std::unique_ptr<history::HistoryStore> store_;
    // Declared after the store it reads, so that it stops first.
    std::unique_ptr<history::SharedOutbox> outbox_;
    bool opened_ = false;
};

// The shared history the window sends to: korvel.conf's, on this computer's
// name unless it names the bench; problems of the files on `warnings`.
std::optional<history::SharedTarget> ConfiguredSharedHistory(std::ostream& warnings);

// Qt's file dialogs over the active window, for settings files.
class FileDialogs final : public window::IFileChooser {
public:
    QString fileToOpen() override;
    QString fileToSave() override;
};

} // namespace korvel::app
