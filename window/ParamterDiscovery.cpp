// Finding the logger: the port list, the poll step, the scan timer, and the
// Read and Back buttons.
#include "window/ParamterFrm.h"

#include "platform/PortList.h"

namespace korvel::window {

TParamter::TParamter(Services services, std::unique_ptr<serial::TComm> comm, QWidget* parent)
    : TParamter(services, parent) {
    if (comm) {
        Comm = std::move(comm);
        bindComm();
    }
}

void TParamter::bindExchanges() {
    bindComm();
    connect(tmrRead, &QTimer::timeout, this, [this] { guarded([this] { tmrReadTimer(); }); });
    const std::pair<TPicture*, void (TParamter::*)()> clicks[] = {
        {imgRead, &TParamter::imgReadClick}, {imgRead0, &TParamter::imgReadClick},
        {imgSave, &TParamter::imgSaveClick}, {imgSave0, &TParamter::imgSaveClick},
        {imgBack, &TParamter::imgBackClick}, {imgBack0, &TParamter::imgBackClick},
    };
    for (const auto& [picture, handler] : clicks) {
        connect(picture, &TPicture::clicked, this,
                [this, handler = handler] { guarded([this, handler] { (this->*handler)(); }); });
    }
}

void TParamter::bindComm() {
    // The logger's frames are binary: XON and XOFF bytes are data, never flow control.
    Comm->setOutx_XonXoffFlow(false);
    Comm->setInx_XonXoffFlow(false);
    Comm->OnReceiveData = [this](serial::TComm& sender, const std::uint8_t* buffer,
                                 std::uint16_t length) {
        guarded([&] { CommReceiveData(sender, buffer, length); });
    };
}

char TParamter::separatorByte() const {
    const char separator = decimalSeparator.toLatin1();
    return separator != 0 ? separator : '.';
}

void TParamter::openForExchange(const std::string& name) {
    if (Comm->PortHandle() != 0) {
        Comm->ClosePort();
    }
    if (Comm->PortHandle() == 0) {
        Comm->setCommName(name);
        Comm->setBaudRate(kLoggerBaudRate);
        Comm->setReadIntervalTimeout(kLoggerReadIntervalMs);
        Comm->OpenPort();
    }
}

void TParamter::EnumSerialPorts(std::vector<std::string>& list) {
    std::optional<std::vector<std::string>> ports = services.ports.listPorts();
    if (!ports) {
        return;
    }
    platform::SortPortNames(*ports);
    list = std::move(*ports);
}

void TParamter::PollPort() {
    if (portIndex < 0 || portIndex >= static_cast<int>(portList.size())) {
        return;
    }
    try {
        openForExchange(portList[static_cast<std::size_t>(portIndex)]);
        services.sleeper.sleepMs(kPortPauseMs);
        Comm->SendData(readCommand.data(), static_cast<std::uint16_t>(readCommand.size()));
    } catch (...) {
        // A port that is busy or gone costs this tick only; the next tick tries
        // the next port, and a scan never interrupts the user with a message.
    }
}

void TParamter::tmrReadTimer() {
    if (!deviceFound && !firstTick) {
        ++portIndex;
    }
    PollPort();
    firstTick = false;
}

void TParamter::imgReadClick() {
    imgRead0->hide();
    EnumSerialPorts(portList);
    if (portList.empty()) {
        services.prompt.warning(QStringLiteral("No device detected!"));
        return;
    }
    if (deviceFound) {
        PollPort();
        return;
    }
    // Restarting the timer restarts its interval: the first port is polled one
    // interval after the click.
    tmrRead->stop();
    portIndex = 0;
    firstTick = true;
    tmrRead->start();
}

void TParamter::imgBackClick() {
    imgBack0->hide();
    tmrRead->stop();
    try {
        if (Comm->PortHandle() != 0) {
            Comm->ClosePort();
        }
        services.sleeper.sleepMs(kPortPauseMs);
    } catch (const std::exception& error) {
        services.prompt.plain(QString::fromUtf8(error.what()));
    }
    close();
}

} // namespace korvel::window
