// Start-up: creates the application and the parameter window, and runs the
// event loop until the window closes.
#include "app/ProductionServices.h"
#include "window/Fonts.h"
#include "window/ParamterFrm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QTimer>

#include <exception>

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
            QMessageBox::warning(activeWindow(), QStringLiteral("Prompt"),
                                 QString::fromUtf8(error.what()));
        } catch (...) {
            QMessageBox::warning(activeWindow(), QStringLiteral("Prompt"),
                                 QStringLiteral("Unknown error"));
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

} // namespace

int main(int argc, char** argv) {
    KorvelApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    QApplication::setApplicationVersion(QStringLiteral("3.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configures a USB temperature and humidity data logger."));
    parser.addHelpOption();
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a PNG picture of the window to <file> after start-up, then quit."),
        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.process(app);

    korvel::window::InstallFontSubstitutes();
    const QString icon = QStringLiteral(":/assets/korvel.png");
    if (QFile::exists(icon)) {
        QApplication::setWindowIcon(QIcon(icon));
    }

    korvel::app::PortLister ports;
    korvel::app::MessageBoxPrompt prompt;
    korvel::app::SystemClock clock;
    korvel::app::ThreadSleeper sleeper;
    korvel::app::DesktopOpener opener;
    korvel::window::TParamter window({ports, prompt, clock, sleeper, opener});
    window.show();

    if (parser.isSet(screenshot)) {
        ScheduleScreenshot(window, parser.value(screenshot));
    }
    return app.exec();
}
