#pragma once
// A parameter window built with recording fakes and a fixed clock, shown on
// the offscreen platform, and helpers to find its controls by object name.

#include "window/ParamterFrm.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace korvel::window {

// The window's exchange state, which only the window changes in use; tests read
// and set it through these references.
struct TParamterTestAccess {
    explicit TParamterTestAccess(TParamter& w)
        : decimalSeparator(w.decimalSeparator), receiveBuffer(w.receiveBuffer),
          sendBuffer(w.sendBuffer), readCommand(w.readCommand), portList(w.portList),
          portIndex(w.portIndex), portName(w.portName), deviceFound(w.deviceFound),
          firstTick(w.firstTick) {}

    QChar& decimalSeparator;
    protocol::Block& receiveBuffer;
    protocol::Block& sendBuffer;
    decltype(TParamter::readCommand)& readCommand;
    std::vector<std::string>& portList;
    int& portIndex;
    std::string& portName;
    bool& deviceFound;
    bool& firstTick;
};

} // namespace korvel::window

namespace korvel::window::testing_support {

inline TParamterTestAccess Exchange(TParamter& w) {
    return TParamterTestAccess(w);
}

// Processes events until `condition` holds; false after `timeoutMs`.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

struct RecordingPrompt final : IPrompt {
    std::vector<std::pair<std::string, QString>> shown; // kind, text
    bool answer = true;
    void information(const QString& text) override { shown.emplace_back("information", text); }
    void warning(const QString& text) override { shown.emplace_back("warning", text); }
    void plain(const QString& text) override { shown.emplace_back("plain", text); }
    bool confirm(const QString& text) override {
        shown.emplace_back("confirm", text);
        return answer;
    }
};

struct FixedClock final : IClock {
    QDateTime now;
    int bias = 0;
    QDateTime localNow() override { return now; }
    int standardBiasMinutes() override { return bias; }
};

struct FakePorts final : IPortLister {
    std::optional<std::vector<std::string>> ports = std::vector<std::string>{};
    std::optional<std::vector<std::string>> listPorts() override { return ports; }
};

struct RecordingSleeper final : ISleeper {
    std::vector<int> sleeps;
    void sleepMs(int milliseconds) override { sleeps.push_back(milliseconds); }
};

struct RecordingOpener final : IDocumentOpener {
    std::vector<QString> opened;
    void open(const QString& path) override { opened.push_back(path); }
};

// Answers the file dialogs with the paths a test sets; empty is Cancel.
struct FixedFiles final : IFileChooser {
    QString toOpen;
    QString toSave;
    int asked = 0;
    QString fileToOpen() override {
        ++asked;
        return toOpen;
    }
    QString fileToSave() override {
        ++asked;
        return toSave;
    }
};

// 7 March 2026, 14:25:36 local time.
inline QDateTime DefaultNow() {
    return QDateTime(QDate(2026, 3, 7), QTime(14, 25, 36));
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
    void TearDown() override {
        window.reset();
        QLocale::setDefault(QLocale::c());
    }

    // Builds the window and shows it, which runs FormShow.
    TParamter& show(QDateTime now = DefaultNow()) {
        clock.now = std::move(now);
        window =
            std::make_unique<TParamter>(Services{ports, prompt, clock, sleeper, opener, files});
        window->show();
        return *window;
    }

    template <class W = QWidget> W& find(const char* name) const {
        const QString wanted = QString::fromLatin1(name);
        W* found = window->objectName() == wanted ? qobject_cast<W*>(window.get())
                                                  : window->findChild<W*>(wanted);
        if (found == nullptr) {
            throw std::runtime_error(std::string("no control named ") + name);
        }
        return *found;
    }

    FakePorts ports;
    RecordingPrompt prompt;
    FixedClock clock;
    RecordingSleeper sleeper;
    RecordingOpener opener;
    FixedFiles files;
    std::unique_ptr<TParamter> window;
};

// True when some pixel of `widget` shows on the window: it and all its
// ancestors are visible and no ancestor clips it away completely.
inline bool SeenByUser(const QWidget& widget) {
    if (!widget.isVisible()) {
        return false;
    }
    QRect seen = widget.rect();
    for (const QWidget* w = &widget; !w->isWindow(); w = w->parentWidget()) {
        seen = seen.translated(w->pos()).intersected(w->parentWidget()->rect());
        if (seen.isEmpty()) {
            return false;
        }
    }
    return true;
}

} // namespace korvel::window::testing_support
