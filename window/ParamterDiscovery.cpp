// Finding the logger: the port list, the poll step, the scan timer, and the
// Read and Back buttons.
#include "window/ParamterFrm.h"

#include "platform/PortList.h"

namespace korvel::window {

TParamter::TParamter(Services given, std::unique_ptr<serial::TComm> comm, QWidget* parent)
    : TParamter(given, parent) {
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
    Comm->setOpenLimit(kOpenLimit);
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
        Comm->setBaudRate(protocol::link::kBaudRate);
        Comm->setReadIntervalTimeout(
            static_cast<std::uint32_t>(protocol::link::kReadInterval.count()));
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
    pollPort();
}

std::optional<PollResult> TParamter::pollPort() {
    if (portIndex < 0 || portIndex >= static_cast<int>(portList.size())) {
        return std::nullopt;
    }
    // A port that is busy or gone costs this tick only; the next tick tries the
    // next port, and a scan never interrupts the user with a message box.
    try {
        openForExchange(portList[static_cast<std::size_t>(portIndex)]);
        services.sleeper.sleepMs(kPortPauseMs);
        // Whatever the line change or the pause brought in is no part of the reply.
        Comm->PurgeInput();
        Comm->SendData(readCommand.data(), static_cast<std::uint16_t>(readCommand.size()));
    } catch (const serial::ECommsError& error) {
        return PollResult{PollOutcomeOf(error.Error()), error.System()};
    } catch (const std::exception& error) {
        return PollResult{PollOutcome::Failed, {0, error.what()}};
    } catch (...) {
        return PollResult{PollOutcome::Failed, {}};
    }
    return PollResult{};
}

void TParamter::beginScan() {
    portIndex = 0;
    firstTick = true;
    setScanStatus(ScanProgress{portList.size(), {}, {}, false});
}

void TParamter::stopScan() {
    if (tmrRead->isActive() && !deviceFound && !scan_.ended) {
        setScanStatus({});
    }
    tmrRead->stop();
    scanPaused_ = false;
}

void TParamter::setScanStatus(ScanProgress scan) {
    scan_ = std::move(scan);
    // Below the whole line, what the operating system said of each port that
    // would not open.
    showStatus(QString::fromStdString(ScanStatusText(scan_)),
               QString::fromStdString(ScanFailuresText(scan_)));
}

void TParamter::showStatus(const QString& text, const QString& details) {
    // One line: a text longer than the strip loses its end (a scan's reasons
    // put there those the user can do least about) and shows whole as the
    // label's tool tip.
    const QString shown =
        lblScanStatus->fontMetrics().elidedText(text, Qt::ElideRight, lblScanStatus->width());
    const bool cut = shown != text;
    lblScanStatus->setText(shown);
    QString tip = cut ? text : QString();
    if (!details.isEmpty()) {
        tip = (tip.isEmpty() ? text : tip) + QLatin1Char('\n') + details;
    }
    lblScanStatus->setToolTip(tip);
    // Without a tip to show, the strip stays background the window is dragged by.
    lblScanStatus->setAttribute(Qt::WA_TransparentForMouseEvents, tip.isEmpty());
}

void TParamter::tmrReadTimer() {
    if (deviceFound) {
        // Only a Read in the Found state runs the timer, and a valid reply stops
        // it: the logger did not answer on its port, so look for it again.
        deviceFound = false;
        beginScan();
    } else if (!firstTick) {
        ++portIndex;
    }
    ScanProgress scan = scan_;
    if (std::optional<PollResult> poll = pollPort()) {
        scan.polls.push_back(poll->outcome);
        scan.lastPolled = portList[static_cast<std::size_t>(portIndex)];
        if (poll->outcome != PollOutcome::Asked) {
            scan.failures.push_back({scan.lastPolled, std::move(poll->system)});
        }
    } else {
        // The tick after the last port's: that poll had its interval to answer.
        scan.ended = true;
    }
    firstTick = false;
    setScanStatus(std::move(scan));
}

void TParamter::imgReadClick() {
    imgRead0->hide();
    EnumSerialPorts(portList);
    if (portList.empty()) {
        services.prompt.warning(tr("No device detected!"));
        return;
    }
    // The logger is known by its name: a list that moved since it was found has
    // another port at its position, where the read command must not go.
    const bool loggerStillThere = deviceFound && portIndex >= 0 &&
                                  portIndex < static_cast<int>(portList.size()) &&
                                  portList[static_cast<std::size_t>(portIndex)] == portName;
    if (loggerStillThere) {
        setScanStatus({});
        PollPort();
        // A valid reply stops the timer; its tick means none came.
        tmrRead->start();
        return;
    }
    // Restarting the timer restarts its interval: the first port is polled one
    // interval after the click.
    tmrRead->stop();
    deviceFound = false;
    beginScan();
    tmrRead->start();
}

void TParamter::imgBackClick() {
    imgBack0->hide();
    stopScan();
    try {
        if (Comm->PortHandle() != 0) {
            Comm->ClosePort();
        }
        services.sleeper.sleepMs(kPortPauseMs);
    } catch (const std::exception& error) {
        services.prompt.plain(ErrorText(error));
    }
    close();
}

} // namespace korvel::window
