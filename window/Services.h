#pragma once
// What the parameter window needs from the world outside the widgets: the port
// list, modal prompts, the clock, sleeping, opening documents and choosing settings files. The
// program passes production implementations; tests pass recording fakes.

#include <QDateTime>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace korvel::window {

class IPortLister {
public:
    virtual ~IPortLister() = default;
    // The names of the serial ports, sorted; nullopt when they could not be listed.
    virtual std::optional<std::vector<std::string>> listPorts() = 0;
};

// Modal message boxes with the caption "Prompt" and an OK button.
class IPrompt {
public:
    virtual ~IPrompt() = default;
    virtual void information(const QString& text) = 0; // information icon
    virtual void warning(const QString& text) = 0;     // warning icon
    virtual void plain(const QString& text) = 0;       // no icon
    // Question icon, OK and Cancel; true for OK.
    virtual bool confirm(const QString& text) = 0;
};

class IClock {
public:
    virtual ~IClock() = default;
    virtual QDateTime localNow() = 0;
    // The standard (non-daylight) bias of the computer's zone: UTC = local + bias.
    virtual int standardBiasMinutes() = 0;
};

class ISleeper {
public:
    virtual ~ISleeper() = default;
    // Blocks the calling thread for `milliseconds`.
    virtual void sleepMs(int milliseconds) = 0;
};

class IDocumentOpener {
public:
    virtual ~IDocumentOpener() = default;
    // Asks the desktop to open the file; failures are not reported.
    virtual void open(const QString& path) = 0;
};

// Asks which settings file to open or to write, as the desktop's file dialogs do.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    // An existing file's path; empty when the user cancelled.
    virtual QString fileToOpen() = 0;
    // The path to write; empty when the user cancelled.
    virtual QString fileToSave() = 0;
};

// The window keeps these references for its whole life; the caller owns the
// objects and must keep them alive longer than the window.
struct Services {
    IPortLister& ports;
    IPrompt& prompt;
    IClock& clock;
    ISleeper& sleeper;
    IDocumentOpener& opener;
    IFileChooser& files;
};

} // namespace korvel::window
