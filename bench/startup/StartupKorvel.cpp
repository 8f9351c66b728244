// The parameter window started as the program starts it, with the production
// services. Asked to idle, it also opens its port component on a
// pseudo-terminal the way an exchange does, so the reader and writer threads
// wait on a live port while the clock runs.
#include "app/ProductionServices.h"
#include "bench/startup/Probe.h"
#include "window/Fonts.h"
#include "window/ParamterFrm.h"

#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QIcon>

#include <cstdio>
#include <exception>
#include <string>

namespace {

bool OpenOnPseudoTerminal(korvel::serial::TComm& comm, std::string& path) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        return false;
    }
    path = name;
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.setCommName(path);
    comm.setBaudRate(korvel::protocol::link::kBaudRate);
    comm.setReadIntervalTimeout(
        static_cast<std::uint32_t>(korvel::protocol::link::kReadInterval.count()));
    try {
        comm.OpenPort();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cannot open %s: %s\n", name, error.what());
        return false;
    }
    return true; // both descriptors stay open until the process ends
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int idleSeconds = korvel::bench::IdleSecondsFrom(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    korvel::window::InstallFontSubstitutes();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/korvel.png")));

    korvel::app::SystemPortLister ports;
    korvel::app::MessageBoxPrompt prompt;
    korvel::app::SystemClock clock;
    korvel::app::ThreadSleeper sleeper;
    korvel::app::DesktopOpener opener;
    korvel::app::FileDialogs files;
    korvel::window::TParamter window({ports, prompt, clock, sleeper, opener, files});

    std::string port;
    if (idleSeconds > 0 && !OpenOnPseudoTerminal(*window.Comm, port)) {
        return 1;
    }
    korvel::bench::ProbeFirstPaint(window, idleSeconds);
    window.show();
    const int status = app.exec();
    if (window.Comm->PortHandle() != 0) {
        window.Comm->ClosePort();
    }
    return status;
}
