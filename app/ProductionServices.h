#pragma once
// The window's services as the running program provides them: Qt message
// boxes, the system clock and zone, a blocking sleep and the desktop's opener.

#include "window/Services.h"

class QWidget;

namespace korvel::app {

class PortLister final : public window::IPortLister {
public:
    std::optional<std::vector<std::string>> listPorts() override;
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

} // namespace korvel::app
