// Start-up: reads the command line, creates the application, the port lister
// (the system's, the given ports or the demo logger's) and the parameter window,
// and runs the event loop until the window closes.
#include "app/CommandLine.h"
#include "app/GraphicalSession.h"
#include "app/ProductionServices.h"
#include "platform/DataFolder.h"
#include "platform/FontStandIns.h"
#include "platform/ParentConsole.h"
#include "tools/sim/DemoLogger.h"
#include "translations/Language.h"
#include "window/ErrorText.h"
#include "window/Fonts.h"
#include "window/ParamterFrm.h"
#include "window/QtNotificationSink.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// The last line of defence: handlers run inside TParamter::guarded, but an
// exception from anywhere else must still not unwind through Qt's event loop.
class KorvelApplication final : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& error) {
            QMessageBox::warning(activeWindow(), QCoreApplication::translate("Prompt", "Prompt"),
                                 korvel::window::ErrorText(error));
        } catch (...) {
            QMessageBox::warning(activeWindow(), QCoreApplication::translate("Prompt", "Prompt"),
                                 QCoreApplication::translate("Prompt", "Unknown error"));
        }
        return false;
    }
};

// --screenshot FILE: renders the window once it is shown, saves it and quits.
void ScheduleScreenshot(QWidget& window, const QString& path) {
    QTimer::singleShot(300, &window, [&window, path] {
        const bool saved = window.grab().save(path, "PNG");
        QApplication::exit(saved ? 0 : 1);
    });
}

// Prints what the command line asks for instead of a run; nullopt for a run.
std::optional<int> Answer(const korvel::app::CommandLine& line) {
    using korvel::app::Request;
    switch (line.request) {
    case Request::Run:
        return std::nullopt;
    case Request::Help:
        std::cout << korvel::app::HelpText();
        return 0;
    case Request::Version:
        std::cout << korvel::app::VersionText() << '\n';
        return 0;
    case Request::Invalid:
        break;
    }
    std::cerr << "korvel: " << line.error << '\n' << korvel::app::UsageText();
    return 2;
}

// Qt's own options have a single leading dash; everything else is ours to judge
// before a display is needed.
bool MayBelongToQt(const korvel::app::CommandLine& line) {
    const std::string& argument = line.argument;
    return line.request == korvel::app::Request::Invalid && argument.size() > 1 &&
           argument[0] == '-' && argument[1] != '-';
}

// Qt reads Windows' command line as UTF-16; UTF-8 on every system from here on,
// the local 8-bit code page of Windows cannot hold most names.
std::vector<std::string> Arguments(const QStringList& arguments) {
    std::vector<std::string> plain;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        plain.push_back(arguments[i].toStdString());
    }
    return plain;
}

// Whether korvel-cli lies beside korvel: beside the executable itself, or beside
// the link it was started through (the package's /usr/bin/korvel points into
// /usr/lib/korvel). Needs no display.
bool CliInstalled(int argc, char** argv) {
    const QCoreApplication core(argc, argv);
    const QString cli =
        QString::fromLatin1(korvel::app::kCliProgram.data(), korvel::app::kCliProgram.size());
    QStringList directories{QCoreApplication::applicationDirPath()};
    const QString invoked = argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString();
    if (invoked.contains(QLatin1Char('/'))) {
        directories.append(QFileInfo(invoked).absolutePath());
    } else if (const QString found = QStandardPaths::findExecutable(invoked); !found.isEmpty()) {
        directories.append(QFileInfo(found).absolutePath());
    }
    return std::any_of(directories.begin(), directories.end(), [&cli](const QString& directory) {
        const QFileInfo program(QDir(directory).filePath(cli));
        return program.isFile() && program.isExecutable();
    });
}

} // namespace

int main(int argc, char** argv) {
    // Help, the version and faults need no display; a line with what may be one
    // of Qt's options (-platform and the like) is read again once Qt has taken them.
    // Without a display QApplication would abort, so that is told plainly first.
    const korvel::app::CommandLine early = korvel::app::ParseCommandLine(
        std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    if (early.request != korvel::app::Request::Run && !MayBelongToQt(early)) {
        korvel::platform::UseParentConsoleForOutput();
        return *Answer(early);
    }
    if (!korvel::app::HasGraphicalSession(
            korvel::platform::SystemEnvironmentVariable,
            std::vector<std::string>(argv + std::min(argc, 1), argv + argc))) {
        std::cerr << korvel::app::NoGraphicalSessionText(CliInstalled(argc, argv));
        return 1;
    }

    if (const char* platform = korvel::platform::WindowPlatformByDefault();
        platform != nullptr && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", platform);
    }
    KorvelApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    QApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));
    // Lets docks match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(KORVEL_APP_ID));
    const korvel::app::CommandLine line =
        korvel::app::ParseCommandLine(Arguments(QCoreApplication::arguments()));
    if (const std::optional<int> exitCode = Answer(line)) {
        return *exitCode;
    }
    const korvel::app::Options& options = line.options;

    // The system's language for every text the window shows; English without one.
    const korvel::translations::Language language(QLocale::system());
    korvel::window::InstallFontSubstitutes();
    const QString icon = QStringLiteral(":/assets/korvel.png");
    if (QFile::exists(icon)) {
        QApplication::setWindowIcon(QIcon(icon));
    }

    // The demo logger lives longer than the window, which may still hold its port.
    std::unique_ptr<korvel::sim::DemoLogger> demo;
    std::unique_ptr<korvel::window::IPortLister> ports;
    // The window's port component; its own over the system's ports unless the
    // demo logger must be reached (on Windows it lives in the program).
    std::unique_ptr<korvel::serial::TComm> comm;
    if (options.demo) {
        try {
            demo = std::make_unique<korvel::sim::DemoLogger>();
        } catch (const std::exception& error) {
            std::cerr << "korvel: cannot start the simulated logger: " << error.what() << '\n';
            return 1;
        }
        ports = std::make_unique<korvel::app::FixedPortLister>(
            std::vector<std::string>{demo->PortName()});
        comm = std::make_unique<korvel::serial::TComm>(
            korvel::window::MakeQtNotificationSink,
            demo->OpenerWith(korvel::platform::OpenSerialDevice));
    } else if (!options.ports.empty()) {
        ports = std::make_unique<korvel::app::FixedPortLister>(options.ports);
    } else {
        ports = std::make_unique<korvel::app::SystemPortLister>(options.allPorts);
    }

    korvel::app::MessageBoxPrompt prompt;
    korvel::app::SystemClock clock;
    korvel::app::ThreadSleeper sleeper;
    korvel::app::DesktopOpener opener;
    // Outlives the window, which records the outcome of a save still waiting.
    // The simulated logger's saves stay out of the record; a build without a
    // history keeps none.
    std::unique_ptr<korvel::app::HistoryOnFirstSave> history;
    if (!options.demo && korvel::history::HistoryAvailable()) {
        history = std::make_unique<korvel::app::HistoryOnFirstSave>(
            std::cerr, korvel::app::ConfiguredSharedHistory(std::cerr));
        history->SendWaitingRows();
    }
    korvel::app::FileDialogs files;
    korvel::window::TParamter window({*ports, prompt, clock, sleeper, opener, files},
                                     std::move(comm));
    window.saveRecord.SetHistory(history.get(), "korvel " KORVEL_VERSION);
    window.show();

    if (!options.screenshot.empty()) {
        ScheduleScreenshot(window, QString::fromStdString(options.screenshot));
    }
    return app.exec();
}
