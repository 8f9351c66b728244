// The window's side of the logger exchanges with the port kept out of the way:
// chunks are handed to CommReceiveData directly, the scan timer is ticked by
// hand, and the save command is read from sendBuffer.
#include "WindowFixture.h"

#include "platform/OpenHints.h"
#include "platform/SerialDevice.h"
#include "protocol/Frame.h"
#include "tests/serial/FakeDevice.h"
#include "tools/sim/LoggerSimulator.h"
#include "tools/sim/SimBlock.h"
#include "window/QtNotificationSink.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <functional>
#include <future>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>

namespace korvel::window::testing_support {
namespace {

using namespace korvel::protocol;
using Bytes = std::vector<std::uint8_t>;
using Prompts = std::vector<std::pair<std::string, QString>>;

void Put(sim::Block& block, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutText(sim::Block& block, std::size_t at, std::string_view text) {
    std::copy(text.begin(), text.end(), block.begin() + static_cast<std::ptrdiff_t>(at));
}

// A logger with a delayed start, a password, and trip text over two lines.
sim::Block DelayedStartReply() {
    sim::Block block = sim::DefaultBlock();
    PutText(block, offset::kSerialNumber, "KV2024007");
    Put(block, offset::kLogIntervalH, {2, 30, 20});
    block[offset::kStopMode] = value::kStopByButtonOrSoftware;
    Put(block, offset::kStartMode, {value::kStartDelayed, 0, 0, 0, 5, 45, 0});
    block[offset::kProbeMode] = 1;
    block[offset::kTemperatureUnit] = 1;
    Put(block, offset::kTimeZoneSign, {1, 5, 30, 1});
    Put(block, offset::kCalibrationTemperature, {1, 2, 5, 0, 3, 50});
    Put(block, offset::kPasswordStartup, {1, 'a', 'b', 'c', '1', '2', '3'});
    std::fill_n(block.begin() + offset::kTripInfo, width::kTripInfo, 0);
    PutText(block, offset::kTripInfo, "Line one\r\nLine two");
    return sim::ReadReplyFrom(block);
}

// Multiple alarm with only humidity L1 among the optional levels; a timed start
// whose year the list does not offer.
sim::Block MultipleAlarmReply() {
    sim::Block block = sim::DefaultBlock();
    Put(block, offset::kStartMode, {value::kStartTiming, 17, 3, 9, 14, 30, 15});
    Put(block, offset::kTemperatureL1, {1, 5, 25, 1, 0, 10, 5});
    Put(block, offset::kTemperatureH1, {0, 30, 0, 0, 1, 2, 3});
    Put(block, offset::kHumidityL1, {0, 40, 50, 0, 23, 59, 59});
    return sim::ReadReplyFrom(block);
}

class ExchangeTest : public WindowTest {
protected:
    void deliver(const std::uint8_t* bytes, std::size_t length) {
        window->guarded([&] {
            window->CommReceiveData(*window->Comm, bytes, static_cast<std::uint16_t>(length));
        });
    }
    void deliver(const sim::Block& block) { deliver(block.data(), block.size()); }
    void deliver(const Bytes& bytes) { deliver(bytes.data(), bytes.size()); }

    void save() {
        window->guarded([&] { window->imgSaveClick(); });
    }

    static QString listText(const QComboBox* list) { return list->currentText(); }
};

TEST_F(ExchangeTest, ReadReplyFillsEveryControlAndEndsTheScan) {
    TParamter& w = show();
    ports.ports = std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"};
    w.imgReadClick();
    w.tmrReadTimer();
    w.tmrReadTimer();
    ASSERT_TRUE(w.tmrRead->isActive());

    deliver(DelayedStartReply());

    EXPECT_EQ(prompt.shown, (Prompts{{"information", "Read Success"}}));
    EXPECT_FALSE(w.tmrRead->isActive());
    EXPECT_TRUE(Exchange(w).deviceFound);
    EXPECT_EQ(Exchange(w).portName, "/dev/ttyUSB1");
    EXPECT_EQ(sleeper.sleeps.back(), 100); // the pause after closing the port

    EXPECT_EQ(w.edtSerialNumber->text(), "KV2024007");
    EXPECT_EQ(listText(w.cbbLogIntervalH), "2");
    EXPECT_EQ(listText(w.cbbLogIntervalM), "30");
    EXPECT_EQ(listText(w.cbbLogIntervalS), "20");
    EXPECT_EQ(listText(w.cbbStopMode), "Stop by Button or Software");
    EXPECT_EQ(listText(w.cbbStartMode), "Delayed");
    EXPECT_TRUE(w.cbbStartDelayH->isEnabled());
    EXPECT_FALSE(w.cbbStartTimeY->isEnabled());
    EXPECT_EQ(listText(w.cbbStartDelayH), "5");
    EXPECT_EQ(listText(w.cbbStartDelayM), "45");
    EXPECT_EQ(listText(w.cbbProbeMode), "External");
    EXPECT_TRUE(w.rbF->isChecked());
    EXPECT_EQ(listText(w.cbbTimeZone), "UTC-05:30");
    EXPECT_EQ(listText(w.cbbCycleSwitch), "Closed");
    EXPECT_EQ(w.edtCalibrationTemp->text(), "-2.05");
    EXPECT_EQ(w.edtCalibrationHumidity->text(), "3.50");
    EXPECT_EQ(listText(w.cbbPasswordStartup), "Enable");
    EXPECT_TRUE(w.edtPassword->isEnabled());
    EXPECT_EQ(w.edtPassword->text(), "abc123");
    EXPECT_EQ(w.mmoTripInfo->toPlainText(), "Line one\nLine two");
    EXPECT_TRUE(w.rbSingleAlarm->isChecked());
    EXPECT_FALSE(w.pnlSingleAlarm->isHidden());
    EXPECT_TRUE(w.pnlMultipleAlarm->isHidden());
    EXPECT_EQ(w.edtSingleL1->text(), "2.00");
    EXPECT_EQ(w.edtSingleH1->text(), "8.00");
}

TEST_F(ExchangeTest, MultipleAlarmReplyFillsThePresentRowsWithTheLocaleSeparator) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    TParamter& w = show();
    ASSERT_EQ(Exchange(w).decimalSeparator, QLatin1Char(','));
    w.cbbStartTimeY->setCurrentIndex(4);

    deliver(MultipleAlarmReply());

    EXPECT_TRUE(w.rbMultipleAlarm->isChecked());
    EXPECT_TRUE(w.pnlSingleAlarm->isHidden());
    EXPECT_FALSE(w.pnlMultipleAlarm->isHidden()); // the radio rule shows it on a change
    EXPECT_EQ(w.edtTemperatureL1->text(), "-5,25");
    EXPECT_EQ(listText(w.cbbTemperatureL1), "Cumulative");
    EXPECT_EQ(listText(w.cbbTemperatureL1M), "10");
    EXPECT_EQ(w.edtTemperatureH1->text(), "30,00");
    EXPECT_EQ(listText(w.cbbTemperatureH1S), "3");
    EXPECT_TRUE(w.chkHumidityL1->isChecked());
    EXPECT_EQ(w.edtHumidityL1->text(), "40,50");
    EXPECT_EQ(listText(w.cbbHumidityL1H), "23");
    for (QCheckBox* off :
         {w.chkTemperatureL2, w.chkTemperatureH2, w.chkTemperatureH3, w.chkHumidityH1}) {
        EXPECT_FALSE(off->isChecked()) << off->objectName().toStdString();
    }
    EXPECT_FALSE(w.edtTemperatureH3->isEnabled());
    EXPECT_FALSE(w.edtHumidityH1->isEnabled());
    EXPECT_TRUE(w.edtHumidityL1->isEnabled());
    EXPECT_EQ(listText(w.cbbStartMode), "Timing");
    EXPECT_TRUE(w.cbbStartTimeY->isEnabled());
    EXPECT_EQ(w.cbbStartTimeY->currentIndex(), -1); // year 2017 is not offered
    EXPECT_EQ(listText(w.cbbStartTimeD), "9");

    // A second multiple-alarm reply selects the radio already selected: the
    // panels are hidden and no rule shows them again.
    deliver(MultipleAlarmReply());
    EXPECT_TRUE(w.pnlMultipleAlarm->isHidden());
}

TEST_F(ExchangeTest, ValuesTheListsDoNotOfferLeaveTheControlsAsTheyWere) {
    TParamter& w = show();
    w.cbbStopMode->setCurrentIndex(1);
    w.cbbStartMode->setCurrentIndex(2);
    w.cbbTimeZone->setCurrentIndex(30);
    w.edtPassword->setText("keepme");
    sim::Block block = sim::DefaultBlock();
    block[offset::kStopMode] = 0x02;
    block[offset::kStartMode] = 3;
    Put(block, offset::kTimeZoneSign, {0, 5, 45}); // UTC+05:45
    block[offset::kPasswordStartup] = 0;
    block[offset::kAlarmSwitch] = 0;
    deliver(sim::ReadReplyFrom(block));

    EXPECT_EQ(w.cbbStopMode->currentIndex(), 1);
    EXPECT_EQ(w.cbbStartMode->currentIndex(), 2);
    EXPECT_EQ(w.cbbTimeZone->currentIndex(), 30);
    EXPECT_EQ(w.edtPassword->text(), "keepme");
    EXPECT_FALSE(w.edtPassword->isEnabled());
    EXPECT_TRUE(w.rbNoAlarm->isChecked());
}

Bytes Frame(std::initializer_list<std::uint8_t> body) {
    Bytes frame = {kHeader0, kHeader1};
    frame.insert(frame.end(), body.begin(), body.end());
    frame.push_back(0); // checksum, set below
    frame.push_back(kTrailer);
    frame[frame.size() - 2] = FrameChecksum(frame.data(), frame.size() - 3);
    return frame;
}

TEST_F(ExchangeTest, EachChunkIsJudgedOnItsOwnBytes) {
    const sim::Block reply = DelayedStartReply();
    Bytes badChecksumAck = Frame({command::kSaveAck, 0, 0x15});
    badChecksumAck[4] ^= 1;
    Bytes tooLong(reply.begin(), reply.end());
    tooLong.insert(tooLong.end() - 1, 0x00); // 211 bytes, checksum still right
    Bytes shortReply(reply.begin(), reply.begin() + 100);
    shortReply.push_back(0);
    shortReply.push_back(kTrailer);
    shortReply[shortReply.size() - 2] = FrameChecksum(shortReply.data(), shortReply.size() - 3);
    Bytes badHeader(reply.begin(), reply.end());
    badHeader[1] = 0x56;

    const struct {
        const char* name;
        Bytes chunk;
        Prompts expected;
    } cases[] = {
        {"save acknowledgement", Frame({command::kSaveAck, 0}), {{"information", "Save Success"}}},
        {"acknowledgement with a bad checksum", badChecksumAck, {{"warning", "Data Check Error"}}},
        {"well-formed frame of another kind", Frame({command::kRead, 1, 0x11}), {}},
        {"four-byte frame", {0xAA, 0x55, 0x00, 0xAA}, {}},
        {"read reply with a bad header", badHeader, {{"warning", "Data Check Error"}}},
        {"read reply longer than the block", tooLong, {{"warning", "Data Check Error"}}},
        {"read reply shorter than the block", shortReply, {{"warning", "Data Check Error"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamter& w = show();
        const auto bufferBefore = Exchange(w).receiveBuffer;
        prompt.shown.clear();
        sleeper.sleeps.clear();

        deliver(c.chunk);

        EXPECT_EQ(prompt.shown, c.expected);
        EXPECT_EQ(sleeper.sleeps, std::vector<int>{100});
        EXPECT_EQ(w.edtSerialNumber->text(), "");
        EXPECT_EQ(w.cbbLogIntervalH->currentIndex(), 0);
        EXPECT_FALSE(Exchange(w).deviceFound);
        if (c.chunk.size() > kFrameSize) {
            EXPECT_EQ(Exchange(w).receiveBuffer, bufferBefore);
        }
    }
}

TEST_F(ExchangeTest, ReplyAfterTheScanRanPastTheListCountsOnlyThePortStillOpen) {
    if (!sim::LoggerSimulator::Available()) {
        GTEST_SKIP() << "no simulated logger: it sits behind a pseudo-terminal";
    }
    TParamter& w = show();
    Exchange(w).portList = {"/dev/ttyS0", "/dev/ttyUSB0"};
    Exchange(w).portIndex = 2;

    // No port is open: the reply is shown, nothing is remembered.
    deliver(DelayedStartReply());
    EXPECT_EQ(prompt.shown, (Prompts{{"information", "Read Success"}}));
    EXPECT_EQ(w.edtSerialNumber->text(), "KV2024007");
    EXPECT_FALSE(Exchange(w).deviceFound);
    EXPECT_EQ(Exchange(w).portName, "");
    EXPECT_EQ(Exchange(w).portIndex, 2);

    // The last entry still open: it is the logger's port.
    sim::LoggerSimulator logger;
    Exchange(w).portList = {"/dev/ttyS0", logger.PortPath()};
    Exchange(w).portIndex = 1;
    w.PollPort();
    ASSERT_NE(w.Comm->PortHandle(), 0);
    Exchange(w).portIndex = 5;
    deliver(DelayedStartReply());
    EXPECT_TRUE(Exchange(w).deviceFound);
    EXPECT_EQ(Exchange(w).portIndex, 1);
    EXPECT_EQ(Exchange(w).portName, logger.PortPath());
    EXPECT_EQ(w.Comm->PortHandle(), 0);
}

// Runs `during` once, while the first information box is open, as the modal
// loop of a real box would run further received chunks.
struct ReentrantPrompt final : IPrompt {
    Prompts shown;
    std::function<void()> during;
    void information(const QString& text) override {
        shown.emplace_back("information", text);
        if (auto run = std::exchange(during, nullptr)) {
            run();
        }
    }
    void warning(const QString& text) override { shown.emplace_back("warning", text); }
    void plain(const QString& text) override { shown.emplace_back("plain", text); }
    bool confirm(const QString&) override { return true; }
};

TEST_F(ExchangeTest, ChunkArrivingWhileAPromptIsOpenIsHandledOnItsOwn) {
    ReentrantPrompt reentrant;
    clock.now = DefaultNow();
    TParamter w(Services{ports, reentrant, clock, sleeper, opener, files});
    w.show();
    const sim::Block reply = DelayedStartReply();
    Bytes garbage(reply.begin(), reply.begin() + 50);
    reentrant.during = [&] {
        w.CommReceiveData(*w.Comm, garbage.data(), static_cast<std::uint16_t>(garbage.size()));
    };

    w.CommReceiveData(*w.Comm, reply.data(), static_cast<std::uint16_t>(reply.size()));

    EXPECT_EQ(reentrant.shown,
              (Prompts{{"information", "Read Success"}, {"warning", "Data Check Error"}}));
    EXPECT_EQ(w.edtSerialNumber->text(), "KV2024007");
    EXPECT_EQ(sleeper.sleeps, (std::vector<int>{100, 100}));
}

// ---- Discovery.

// A port component whose devices never open: it records which names were tried
// and refuses each with the failure `refusals` gives for it (NotFound if none).
std::unique_ptr<serial::TComm>
RecordingComm(std::vector<std::string>& tried,
              const std::map<std::string, platform::SerialError>& refusals) {
    return std::make_unique<serial::TComm>(
        MakeQtNotificationSink, [&tried, &refusals](const std::string& name) {
            tried.push_back(name);
            const auto refusal = refusals.find(name);
            platform::OpenResult result;
            result.error =
                refusal != refusals.end() ? refusal->second : platform::SerialError::NotFound;
            result.system = {static_cast<int>(result.error) + 100,
                             "refused as " + std::to_string(static_cast<int>(result.error))};
            return result;
        });
}

class DiscoveryTest : public ExchangeTest {
protected:
    TParamter& showWithRecordingComm(IPrompt* otherPrompt = nullptr) {
        clock.now = DefaultNow();
        IPrompt& shownWith = otherPrompt != nullptr ? *otherPrompt : prompt;
        window =
            std::make_unique<TParamter>(Services{ports, shownWith, clock, sleeper, opener, files},
                                        RecordingComm(tried, refusals));
        window->show();
        return *window;
    }
    // The status line's whole text, also when the strip shows it cut short: the
    // tool tip's first line.
    static QString status(const TParamter& w) {
        return w.lblScanStatus->toolTip().isEmpty()
                   ? w.lblScanStatus->text()
                   : w.lblScanStatus->toolTip().section('\n', 0, 0);
    }
    std::vector<std::string> tried;
    std::map<std::string, platform::SerialError> refusals;
};

TEST_F(DiscoveryTest, ReadWithoutPortsSaysSoAndStartsNothing) {
    TParamter& w = showWithRecordingComm();
    w.imgReadClick();
    EXPECT_EQ(prompt.shown, (Prompts{{"warning", "No device detected!"}}));
    EXPECT_FALSE(w.tmrRead->isActive());

    // A listing that fails keeps the ports of the last one.
    ports.ports = std::vector<std::string>{"COM3"};
    w.imgReadClick();
    ports.ports.reset();
    w.imgReadClick();
    EXPECT_EQ(Exchange(w).portList, std::vector<std::string>{"COM3"});
}

TEST_F(DiscoveryTest, ScanPollsOnePortPerTickInSortedOrderThenNothing) {
    TParamter& w = showWithRecordingComm();
    ports.ports = std::vector<std::string>{"COM2", "COM10", "COM3"};
    w.imgReadClick();
    EXPECT_TRUE(w.tmrRead->isActive());
    EXPECT_EQ(w.tmrRead->interval(), 3000);
    EXPECT_TRUE(tried.empty()); // the first poll waits for the first tick

    for (int tick = 0; tick < 5; ++tick) {
        w.tmrReadTimer();
    }
    EXPECT_EQ(tried, (std::vector<std::string>{"COM10", "COM2", "COM3"}));
    EXPECT_EQ(Exchange(w).portIndex, 4);
    EXPECT_TRUE(prompt.shown.empty()); // ports that cannot be opened pass without a box
    EXPECT_TRUE(w.tmrRead->isActive());

    // A new Read scans again from the first port of a fresh list.
    ports.ports = std::vector<std::string>{"COM7"};
    tried.clear();
    w.imgReadClick();
    w.tmrReadTimer();
    EXPECT_EQ(tried, std::vector<std::string>{"COM7"});
}

TEST_F(DiscoveryTest, StatusLineFollowsTheScanAndSaysWhyPortsWouldNotOpen) {
    refusals = {{"/dev/ttyACM0", platform::SerialError::AccessDenied},
                {"/dev/ttyUSB0", platform::SerialError::Busy}};
    TParamter& w = showWithRecordingComm();
    EXPECT_EQ(w.lblScanStatus->text(), "");
    ports.ports = std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyACM0"};

    w.imgReadClick();
    EXPECT_EQ(status(w), "Looking for the logger on 2 ports");
    w.tmrReadTimer();
    EXPECT_EQ(status(w), "Polling port 1 of 2: /dev/ttyACM0");
    w.tmrReadTimer();
    EXPECT_EQ(status(w), "Polling port 2 of 2: /dev/ttyUSB0");
    // The last port's interval passes without a reply: the scan found nothing.
    w.tmrReadTimer();
    // Windows refuses a port another program holds as "access denied".
    const bool deniedIsBusy = platform::PortOpenHints().accessDeniedMeansBusy;
    const QString first = deniedIsBusy ? "Polled 2 ports, no logger: 2 in use by another program"
                                       : "Polled 2 ports, no logger: no permission for 1 (join "
                                         "the dialout group, see Help)";
    const QString why = deniedIsBusy ? first + "." : first + ", 1 in use by another program.";
    EXPECT_EQ(status(w), why);
    // Below it in the tool tip, what the operating system said of each port.
    const auto code = [](platform::SerialError error) { return static_cast<int>(error); };
    EXPECT_EQ(w.lblScanStatus->toolTip().section('\n', 1),
              QString("/dev/ttyACM0: refused as %1 (error %2)\n"
                      "/dev/ttyUSB0: refused as %3 (error %4)")
                  .arg(code(platform::SerialError::AccessDenied))
                  .arg(code(platform::SerialError::AccessDenied) + 100)
                  .arg(code(platform::SerialError::Busy))
                  .arg(code(platform::SerialError::Busy) + 100));
    // Too long for the strip: cut where the reason the user can act on is said.
    EXPECT_TRUE(w.lblScanStatus->text().startsWith(first));
    EXPECT_LE(w.lblScanStatus->fontMetrics().horizontalAdvance(w.lblScanStatus->text()),
              w.lblScanStatus->width());
    w.tmrReadTimer();
    EXPECT_EQ(status(w), why);
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_TRUE(w.tmrRead->isActive());

    // A Save cuts a running scan short; its progress goes with it.
    w.imgReadClick();
    w.tmrReadTimer();
    w.edtSerialNumber->setText("short");
    save();
    EXPECT_EQ(status(w), "");

    // The logger answering ends the scan and everything the line had to say.
    w.imgReadClick();
    w.tmrReadTimer();
    deliver(DelayedStartReply());
    EXPECT_TRUE(Exchange(w).deviceFound);
    EXPECT_EQ(status(w), "");
}

// An outgoing Bluetooth port holds its open for seconds while it reaches for
// its device: the scan tick returns after the window's bound, says why the
// port was passed over, and the device that opens late is closed, not kept.
TEST_F(DiscoveryTest, APortWhoseOpenBlocksCostsItsPollOnly) {
    auto device = std::make_shared<korvel::testing::FakeState>();
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    clock.now = DefaultNow();
    window = std::make_unique<TParamter>(
        Services{ports, prompt, clock, sleeper, opener, files},
        std::make_unique<serial::TComm>(MakeQtNotificationSink, [device, released](
                                                                    const std::string& name) {
            released.wait_for(std::chrono::seconds(10)); // CreateFile connecting to a far device
            return korvel::testing::FakeOpener(device)(name);
        }));
    TParamter& w = *window;
    w.show();
    ports.ports = std::vector<std::string>{"COM7"};

    w.imgReadClick();
    const auto start = std::chrono::steady_clock::now();
    w.tmrReadTimer();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2))
        << "the window's thread waited for the open";
    EXPECT_EQ(w.Comm->PortHandle(), 0);
    w.tmrReadTimer();
    EXPECT_EQ(status(w), "Polled 1 port, no logger: 1 would not open.");
    EXPECT_TRUE(w.lblScanStatus->toolTip().contains("COM7: did not open within 0.5 s"))
        << w.lblScanStatus->toolTip().toStdString();

    release->set_value();
    EXPECT_TRUE(device->WaitFor([&] { return device->opened == 1 && device->closed == 1; }));
}

TEST_F(DiscoveryTest, ReadOfAFoundLoggerScansAgainWhenItsPortMovedOrWentSilent) {
    TParamter& w = showWithRecordingComm();
    ports.ports = std::vector<std::string>{"COM5", "COM3"};
    w.imgReadClick();
    w.tmrReadTimer();
    w.tmrReadTimer();
    deliver(DelayedStartReply());
    ASSERT_EQ(Exchange(w).portName, "COM5");
    ASSERT_EQ(Exchange(w).portIndex, 1);

    // Still at its place: one poll at once, and a reply ends the wait for it.
    tried.clear();
    w.imgReadClick();
    EXPECT_EQ(tried, std::vector<std::string>{"COM5"});
    EXPECT_TRUE(w.tmrRead->isActive());
    deliver(DelayedStartReply());
    EXPECT_FALSE(w.tmrRead->isActive());
    EXPECT_TRUE(Exchange(w).deviceFound);

    // Another adapter sorts in before the logger's port: the read command must
    // not go to COM4, which now holds the logger's position.
    const struct {
        const char* name;
        std::vector<std::string> listed;
    } moves[] = {
        {"a list too short for its position", {"COM5"}},
        {"an adapter plugged in before it", {"COM3", "COM4", "COM5"}},
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.name);
        ports.ports = move.listed;
        tried.clear();
        w.imgReadClick();
        EXPECT_TRUE(tried.empty());
        EXPECT_FALSE(Exchange(w).deviceFound);
        EXPECT_EQ(Exchange(w).portIndex, 0);
        EXPECT_TRUE(w.tmrRead->isActive());
        EXPECT_EQ(status(w), QString("Looking for the logger on %1 port%2")
                                 .arg(move.listed.size())
                                 .arg(move.listed.size() == 1 ? "" : "s"));
        for (std::size_t tick = 0; tick < move.listed.size(); ++tick) {
            w.tmrReadTimer();
        }
        EXPECT_EQ(tried, move.listed);
        deliver(DelayedStartReply());
        EXPECT_EQ(Exchange(w).portName, "COM5");
        EXPECT_EQ(Exchange(w).portIndex, static_cast<int>(move.listed.size()) - 1);
    }

    // No valid reply within an interval: the next tick starts a scan from the
    // first port.
    tried.clear();
    w.imgReadClick();
    EXPECT_EQ(tried, std::vector<std::string>{"COM5"});
    deliver(Bytes{0xAA, 0x55, 0x94}); // garbled: not a valid reply
    EXPECT_TRUE(w.tmrRead->isActive());
    w.tmrReadTimer();
    EXPECT_EQ(tried, (std::vector<std::string>{"COM5", "COM3"}));
    EXPECT_FALSE(Exchange(w).deviceFound);
    EXPECT_EQ(status(w), "Polling port 1 of 3: COM3");
    w.tmrReadTimer();
    EXPECT_EQ(tried, (std::vector<std::string>{"COM5", "COM3", "COM4"}));
}

// Answers the quit question after running the event loop for a while, as a
// modal box does, and counts the ports opened meanwhile.
struct QuitQuestion final : IPrompt {
    Prompts shown;
    bool answer = false;
    std::function<void()> whileOpen;
    void information(const QString& text) override { shown.emplace_back("information", text); }
    void warning(const QString& text) override { shown.emplace_back("warning", text); }
    void plain(const QString& text) override { shown.emplace_back("plain", text); }
    bool confirm(const QString& text) override {
        shown.emplace_back("confirm", text);
        if (whileOpen) {
            whileOpen();
        }
        WaitFor([] { return false; }, 300);
        return answer;
    }
};

TEST_F(DiscoveryTest, QuitQuestionHoldsTheScanAndCancelResumesIt) {
    QuitQuestion question;
    TParamter& w = showWithRecordingComm(&question);
    ports.ports = std::vector<std::string>{"COM1", "COM2", "COM3"};
    w.imgReadClick();
    w.tmrRead->setInterval(20);

    w.imgCloseClick();
    EXPECT_TRUE(tried.empty());
    EXPECT_TRUE(w.tmrRead->isActive());
    EXPECT_TRUE(WaitFor([&] { return !tried.empty(); }));
    w.tmrRead->setInterval(60'000); // keeps the scan on a port of the list

    // A reply during the question ends the scan: Cancel does not start it again.
    question.whileOpen = [&] { deliver(DelayedStartReply()); };
    w.imgCloseClick();
    EXPECT_TRUE(Exchange(w).deviceFound);
    EXPECT_FALSE(w.tmrRead->isActive());

    question.whileOpen = nullptr;
    w.imgReadClick(); // found, polled at once; the timer waits for the reply
    ASSERT_TRUE(w.tmrRead->isActive());
    w.tmrRead->setInterval(20);
    question.answer = true;
    tried.clear();
    w.imgCloseClick();
    EXPECT_TRUE(tried.empty());
    EXPECT_FALSE(w.tmrRead->isActive());
    EXPECT_FALSE(w.isVisible());
}

TEST_F(DiscoveryTest, SaveStopsTheScanAndBackClosesTheWindow) {
    TParamter& w = showWithRecordingComm();
    ports.ports = std::vector<std::string>{"COM1"};
    w.imgReadClick();
    w.edtSerialNumber->setText("short");
    w.guarded([&] { w.imgSaveClick(); });
    EXPECT_FALSE(w.tmrRead->isActive());

    w.imgReadClick();
    ASSERT_TRUE(w.tmrRead->isActive());
    sleeper.sleeps.clear();
    w.imgBackClick();
    EXPECT_FALSE(w.tmrRead->isActive());
    EXPECT_EQ(sleeper.sleeps, std::vector<int>{100});
    EXPECT_FALSE(w.isVisible());
}

// What the window asks of the port for every exchange, as the device receives it.
TEST_F(DiscoveryTest, EveryExchangeOpensThePortWithTheLoggersLineSettings) {
    auto device = std::make_shared<korvel::testing::FakeState>();
    clock.now = DefaultNow();
    window = std::make_unique<TParamter>(
        Services{ports, prompt, clock, sleeper, opener, files},
        std::make_unique<serial::TComm>(MakeQtNotificationSink,
                                        korvel::testing::FakeOpener(device)));
    TParamter& w = *window;
    w.show();
    w.tmrRead->setInterval(60'000);
    ports.ports = std::vector<std::string>{"COM1"};
    const sim::Block reply = DelayedStartReply();
    int opens = 0;
    const auto expectLoggerLine = [&](const char* exchange) {
        SCOPED_TRACE(exchange);
        std::lock_guard lock(device->mutex);
        ASSERT_EQ(device->opened, ++opens);
        const platform::LineSettings& line = device->lineSettings.back();
        EXPECT_EQ(line.baudRate, 9600u);
        EXPECT_EQ(line.byteSize, 8);
        EXPECT_EQ(line.parity, 0);   // none
        EXPECT_EQ(line.stopBits, 0); // one
        using namespace platform::line_flag;
        EXPECT_EQ(line.flags & (kParity | kOutxCtsFlow | kOutxDsrFlow | kOutX | kInX), 0u);
        EXPECT_EQ(platform::DtrControlOf(line.flags), platform::DtrControl::Enable);
        EXPECT_EQ(platform::RtsControlOf(line.flags), platform::RtsControl::Enable);
        // A pause inside a reply up to the logger's read interval still ends one chunk; nothing
        // else cuts a read short.
        EXPECT_EQ(device->timeouts.back(), (platform::Timeouts{200, 0, 0, 0, 0}));
    };
    // Like a logger, answers once the read command has come.
    const auto answer = [&](int successes) {
        const std::size_t commands = static_cast<std::size_t>(successes) * kReadCommand.size();
        if (!device->WaitFor([&] { return device->written.size() == commands; })) {
            return false;
        }
        device->AddStep({platform::InputResult::Kind::ReadDone,
                         std::vector<std::uint8_t>(reply.begin(), reply.end())});
        return WaitFor([&] {
            return std::count(prompt.shown.begin(), prompt.shown.end(),
                              std::pair<std::string, QString>{"information", "Read Success"}) ==
                   successes;
        });
    };

    w.imgReadClick();
    w.tmrReadTimer();
    expectLoggerLine("scan tick");
    ASSERT_TRUE(answer(1));
    w.imgReadClick();
    expectLoggerLine("Read of the found logger");
    ASSERT_TRUE(answer(2));
    save();
    expectLoggerLine("Save");
    EXPECT_TRUE(device->WaitFor(
        [&] { return device->written.size() == 2 * kReadCommand.size() + kFrameSize; }));
}

// ---- Save.

TEST_F(ExchangeTest, SaveWritesTheControlsIntoTheSendBuffer) {
    TParamter& w = show();
    // Bytes a save leaves alone keep what an earlier save put there.
    std::fill_n(Exchange(w).sendBuffer.begin() + offset::kPassword, width::kPassword, 0x5A);
    w.edtSerialNumber->setText(QString::fromLatin1("KV\xE9"
                                                   "000042"));
    w.cbbLogIntervalH->setCurrentIndex(1);
    w.cbbLogIntervalM->setCurrentIndex(30);
    w.cbbStopMode->setCurrentIndex(2);
    w.cbbStartMode->setCurrentIndex(1);
    w.cbbStartDelayH->setCurrentIndex(2);
    w.cbbStartDelayM->setCurrentIndex(15);
    w.cbbTimeZone->setCurrentIndex(w.cbbTimeZone->findText("UTC-03:30"));
    w.edtCalibrationTemp->setText("-1.5");
    w.edtPassword->setText("ignored");
    w.rbSingleAlarm->setChecked(true);
    w.edtSingleL1->setText("-0.5");
    w.edtSingleH1->setText("25.5");
    w.mmoTripInfo->setPlainText("a\nb");

    save();

    const auto& b = Exchange(w).sendBuffer;
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{0xAA, 0x55, 0x95, 0xCC}));
    EXPECT_EQ(Bytes(b.begin() + 4, b.begin() + 13),
              (Bytes{'K', 'V', 0xE9, '0', '0', '0', '0', '4', '2'}));
    EXPECT_EQ(Bytes(b.begin() + 17, b.begin() + 20), (Bytes{1, 30, 0}));
    EXPECT_EQ(b[offset::kStopMode], 0x11);
    EXPECT_EQ(Bytes(b.begin() + 23, b.begin() + 30), (Bytes{1, 0, 0, 0, 2, 15, 0}));
    EXPECT_EQ(Bytes(b.begin() + 34, b.begin() + 37), (Bytes{1, 3, 30}));
    EXPECT_EQ(Bytes(b.begin() + 38, b.begin() + 41), (Bytes{1, 1, 50}));
    EXPECT_EQ(b[offset::kPasswordStartup], 0);
    EXPECT_EQ(Bytes(b.begin() + 46, b.begin() + 52), Bytes(6, 0x5A));
    // The system time lists as the window shows them: 7 March 2026, 14:25:36.
    EXPECT_EQ(Bytes(b.begin() + 52, b.begin() + 58), (Bytes{26, 3, 7, 14, 25, 36}));
    EXPECT_EQ(Bytes(b.begin() + 58, b.begin() + 63), (Bytes{'a', 0x0D, 0x0A, 'b', 0}));
    EXPECT_EQ(Bytes(b.begin() + 158, b.begin() + 166), (Bytes{1, 1, 0, 50, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(b.begin() + 173, b.begin() + 180), (Bytes{0, 25, 50, 0, 0, 0, 0}));
    EXPECT_EQ(b[offset::kHumidityH1], level::kDisabled);
    EXPECT_EQ(b[offset::kChecksum], FrameChecksum(b.data(), offset::kChecksum - 1));
    EXPECT_EQ(b[offset::kTrailer], kTrailer);

    // No logger has been found, so there is no port to open.
    EXPECT_EQ(prompt.shown, (Prompts{{"warning", "Can't Open the Port"}}));
}

TEST_F(ExchangeTest, MultipleAlarmLevelsAreSavedAsPackedBcd) {
    TParamter& w = show();
    deliver(MultipleAlarmReply());
    w.edtHumidityL1->setText("25.5");
    w.cbbHumidityL1->setCurrentIndex(0);
    w.cbbHumidityL1H->setCurrentIndex(0);
    w.cbbHumidityL1M->setCurrentIndex(10);
    w.cbbHumidityL1S->setCurrentIndex(5);
    w.cbbStartTimeY->setCurrentIndex(1); // the reply's year 2017 is not in the list
    save();
    const auto& b = Exchange(w).sendBuffer;
    EXPECT_EQ(Bytes(b.begin() + offset::kHumidityL1, b.begin() + offset::kHumidityL1 + 7),
              (Bytes{0x00, 0x25, 0x50, 0x00, 0x00, 0x10, 0x05}));
    EXPECT_EQ(b[offset::kTemperatureH3], level::kDisabled);
}

TEST_F(ExchangeTest, RefusedSaveFocusesTheFieldAndSendsNothing) {
    const struct {
        const char* name;
        std::function<void(TParamter&)> enter;
        QLineEdit* TParamter::*field;
        QString message;
    } cases[] = {
        {"serial number of 8 characters",
         [](TParamter& w) { w.edtSerialNumber->setText("KV202400"); }, &TParamter::edtSerialNumber,
         "The Serial Number can not be empty and the Serial Number length is 9"},
        {"calibration of a lone minus", [](TParamter& w) { w.edtCalibrationTemp->setText(" - "); },
         &TParamter::edtCalibrationTemp, "The Calibration Temperature can not be empty"},
        {"single alarm without an upper limit",
         [](TParamter& w) {
             w.rbSingleAlarm->setChecked(true);
             w.edtSingleL1->setText("2");
         },
         &TParamter::edtSingleH1, "The Temperature H1 can not be empty"},
        {"calibration its byte cannot carry",
         [](TParamter& w) { w.edtCalibrationTemp->setText("256"); }, &TParamter::edtCalibrationTemp,
         "The Calibration Temperature is out of range"},
        {"single-alarm limit its byte cannot carry",
         [](TParamter& w) {
             w.rbSingleAlarm->setChecked(true);
             w.edtSingleH1->setText("300");
             w.edtSingleL1->setText("2");
         },
         &TParamter::edtSingleH1, "The Temperature H1 is out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamter& w = show();
        QApplication::setActiveWindow(&w);
        w.edtSerialNumber->setText("KV2024007");
        c.enter(w);
        prompt.shown.clear();

        save();

        EXPECT_EQ(prompt.shown, (Prompts{{"information", c.message}}));
        // The calibration edits lie out of view and disabled; they cannot take
        // the focus, and the message alone tells the user.
        if ((w.*c.field)->isEnabled()) {
            EXPECT_EQ(QApplication::focusWidget(), w.*c.field);
        }
        EXPECT_EQ(Exchange(w).sendBuffer, (std::array<std::uint8_t, kFrameSize>{}));
    }
}

TEST_F(ExchangeTest, TextThatIsNoNumberEndsTheSaveThroughTheErrorDisplay) {
    const struct {
        const char* name;
        std::function<void(TParamter&)> enter;
        QString message;
    } cases[] = {
        {"a minus inside the number",
         [](TParamter& w) {
             Exchange(w).decimalSeparator = QLatin1Char(',');
             w.edtCalibrationHumidity->setText("1-5");
         },
         "'1-5' is not a valid number"},
        {"list without a selection", [](TParamter& w) { w.cbbLogIntervalH->setCurrentIndex(-1); },
         "'' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TParamter& w = show();
        w.edtSerialNumber->setText("KV2024007");
        c.enter(w);
        prompt.shown.clear();

        save();

        EXPECT_EQ(prompt.shown, (Prompts{{"warning", c.message}}));
        EXPECT_EQ(Exchange(w).sendBuffer, (std::array<std::uint8_t, kFrameSize>{}));
        EXPECT_TRUE(sleeper.sleeps.empty());
    }
}

} // namespace
} // namespace korvel::window::testing_support
