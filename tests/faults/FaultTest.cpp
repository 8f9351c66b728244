// Faults end to end: the window with its real port component on
// pseudo-terminals, against simulated loggers and devices the test plays
// itself. Whatever the fault, the window must come through it, keep every
// value it shows, and read the logger again afterwards.
#include "tests/support/SerialPty.h"
#include "tests/window/WindowFixture.h"

#include "protocol/Frame.h"
#include "tools/sim/LoggerSimulator.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <random>
#include <thread>

namespace korvel::window::testing_support {
namespace {

using namespace std::chrono_literals;
using korvel::testing::PtyPair;
using Bytes = std::vector<std::uint8_t>;

const Bytes kReadCommand(protocol::kReadCommand.begin(), protocol::kReadCommand.end());

// Every value the controls hold, by object name. The system-time lists are
// left out: the clock owns them.
std::vector<QString> Values(const TParamter& w) {
    std::vector<QString> values;
    for (const QLineEdit* edit : w.findChildren<QLineEdit*>()) {
        values.push_back(edit->objectName() + "=" + edit->text());
    }
    for (const QComboBox* list : w.findChildren<QComboBox*>()) {
        if (!list->objectName().startsWith("cbbSystemTime")) {
            values.push_back(list->objectName() + "#" + QString::number(list->currentIndex()));
        }
    }
    for (const QAbstractButton* button : w.findChildren<QAbstractButton*>()) {
        values.push_back(button->objectName() + (button->isChecked() ? "+" : "-"));
    }
    values.push_back(w.mmoTripInfo->toPlainText());
    return values;
}

// A logger's block that shows as the serial number `serial`.
sim::Block BlockWithSerial(const char* serial) {
    sim::Block block = sim::DefaultBlock();
    std::copy_n(serial, protocol::width::kSerialNumber,
                block.begin() + protocol::offset::kSerialNumber);
    return sim::ReadReplyFrom(block);
}

Bytes ReplyBytes(const char* serial) {
    const sim::Block block = BlockWithSerial(serial);
    return Bytes(block.begin(), block.end());
}

// A port name the test can point at another device, as when an adapter is
// plugged in again or a different one takes its name.
class PortAlias {
public:
    PortAlias(const QTemporaryDir& dir, const char* name)
        : path_(dir.filePath(QString::fromLatin1(name)).toStdString()) {}
    ~PortAlias() { ::unlink(path_.c_str()); }
    const std::string& path() const { return path_; }
    void pointTo(const std::string& target) const {
        ::unlink(path_.c_str());
        EXPECT_EQ(::symlink(target.c_str(), path_.c_str()), 0) << path_;
    }

private:
    std::string path_;
};

// Another program's hold on a port: its own descriptor with an exclusive lock.
class Holder {
public:
    explicit Holder(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
        locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~Holder() { Release(); }
    bool locked() const { return locked_; }
    void Release() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
    bool locked_ = false;
};

class FaultTest : public WindowTest {
protected:
    TParamter& start(std::vector<std::string> portNames) {
        ports.ports = std::move(portNames);
        TParamter& w = show();
        w.tmrRead->setInterval(60'000); // the scan's ticks are the test's own
        return w;
    }

    void click(TPicture* picture) { QTest::mouseClick(picture, Qt::LeftButton); }

    int count(const char* kind, const char* text) const {
        return static_cast<int>(std::count(prompt.shown.begin(), prompt.shown.end(),
                                           std::pair<std::string, QString>{kind, text}));
    }
    int successes() const { return count("information", "Read Success"); }

    // Clicks Read and, while no logger has been found, ticks the scan on port by
    // port; true when a reply showing `serial` arrived.
    bool readShows(const char* serial) {
        const int before = successes();
        const auto shown = [&] { return window->edtSerialNumber->text() == QLatin1String(serial); };
        click(window->imgRead);
        if (Exchange(*window).deviceFound) {
            return WaitFor([&] { return successes() > before; }) && shown();
        }
        const std::size_t portCount = ports.ports->size();
        for (std::size_t tick = 0; tick < portCount; ++tick) {
            window->tmrReadTimer();
            if (WaitFor([&] { return successes() > before; }, tick + 1 < portCount ? 1500 : 5000)) {
                return shown();
            }
        }
        return false;
    }

    QTemporaryDir dir;
};

TEST_F(FaultTest, DeviceVanishingInTheMiddleOfAReplyKeepsTheValuesAndTheNextReadWorks) {
    sim::LoggerSimulator logger;
    const PortAlias port(dir, "ttyUSB0");
    port.pointTo(logger.PortPath());
    TParamter& w = start({port.path()});
    ASSERT_TRUE(readShows("T23110042"));
    const auto values = Values(w);
    prompt.shown.clear();

    PtyPair vanishing;
    port.pointTo(vanishing.slavePath());
    click(w.imgRead);
    ASSERT_EQ(vanishing.Read(kReadCommand.size(), 5s), kReadCommand);
    const Bytes reply = ReplyBytes("KV0000001");
    vanishing.Write(Bytes(reply.begin(), reply.begin() + 100));
    vanishing.CloseMaster();
    // Half a reply and a hang-up: at most a check error may come of it.
    WaitFor([&] { return !prompt.shown.empty(); }, 1000);
    for (const auto& shown : prompt.shown) {
        EXPECT_EQ(shown, (std::pair<std::string, QString>{"warning", "Data Check Error"}));
    }
    EXPECT_EQ(Values(w), values);

    port.pointTo(logger.PortPath());
    logger.SetBlock(BlockWithSerial("KV0000002"));
    EXPECT_TRUE(readShows("KV0000002"));
}

// Writes noise into `pty` from the moment the tool's read command arrives until
// a megabyte went out or the test stops it. No byte is 0xAA, so no frame can
// form by chance.
class NoisyDevice {
public:
    NoisyDevice() {
        ::fcntl(pty_.master(), F_SETFL, ::fcntl(pty_.master(), F_GETFL) | O_NONBLOCK);
        thread_ = std::thread([this] { Run(); });
    }
    ~NoisyDevice() {
        stop_ = true;
        thread_.join();
    }
    const std::string& path() const { return pty_.slavePath(); }
    std::size_t written() const { return written_; }
    bool heardReadCommand() const { return heard_; }

private:
    void Run() {
        std::minstd_rand random(7);
        Bytes noise(kTotal);
        for (std::uint8_t& byte : noise) {
            byte = static_cast<std::uint8_t>(random() % 0xAA);
        }
        while (!stop_ && !heard_) {
            pollfd in{pty_.master(), POLLIN, 0};
            std::uint8_t command[64];
            if (::poll(&in, 1, 20) == 1 && ::read(pty_.master(), command, sizeof command) > 0) {
                heard_ = true;
            }
        }
        while (!stop_ && written_ < kTotal) {
            pollfd out{pty_.master(), POLLOUT, 0};
            if (::poll(&out, 1, 20) != 1) {
                continue; // the terminal is full: nobody reads the port any more
            }
            const ssize_t n = ::write(pty_.master(), noise.data() + written_, kTotal - written_);
            written_ += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    }

    static constexpr std::size_t kTotal = 1 << 20;
    PtyPair pty_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> heard_{false};
    std::atomic<std::size_t> written_{0};
    std::thread thread_;
};

TEST_F(FaultTest, AMegabyteOfNoiseDuringAScanCostsOnePortAndTheScanGoesOn) {
    NoisyDevice noisy;
    sim::LoggerSimulator logger;
    const PortAlias first(dir, "ttyUSB0");
    const PortAlias second(dir, "ttyUSB1");
    first.pointTo(noisy.path());
    second.pointTo(logger.PortPath());
    TParamter& w = start({first.path(), second.path()});
    const auto values = Values(w);

    click(w.imgRead);
    w.tmrReadTimer();
    ASSERT_TRUE(WaitFor([&] { return count("warning", "Data Check Error") > 0; }));
    EXPECT_TRUE(noisy.heardReadCommand());
    EXPECT_GT(noisy.written(), 0u);
    EXPECT_EQ(Values(w), values);
    EXPECT_FALSE(Exchange(w).deviceFound);
    EXPECT_EQ(successes(), 0);

    w.tmrReadTimer();
    ASSERT_TRUE(WaitFor([&] { return successes() == 1; }));
    EXPECT_EQ(w.edtSerialNumber->text(), "T23110042");
    EXPECT_EQ(Exchange(w).portName, second.path());
}

TEST_F(FaultTest, AReplyArrivingAfterThePortWasClosedIsNeverTakenForALaterOne) {
    PtyPair late;
    PtyPair silent;
    const PortAlias first(dir, "ttyUSB0");
    const PortAlias second(dir, "ttyUSB1");
    first.pointTo(late.slavePath());
    second.pointTo(silent.slavePath());
    TParamter& w = start({first.path(), second.path()});
    const auto values = Values(w);

    click(w.imgRead);
    w.tmrReadTimer();
    ASSERT_EQ(late.Read(kReadCommand.size(), 5s), kReadCommand);
    w.tmrReadTimer(); // the scan moves on and closes the first port
    ASSERT_EQ(silent.Read(kReadCommand.size(), 5s), kReadCommand);
    late.Write(ReplyBytes("LATE00001"));
    EXPECT_FALSE(WaitFor([&] { return !prompt.shown.empty(); }, 700));
    EXPECT_EQ(Values(w), values);
    EXPECT_FALSE(Exchange(w).deviceFound);

    // A new scan opens the late device's port again; only its fresh answer counts.
    click(w.imgRead);
    w.tmrReadTimer();
    ASSERT_EQ(late.Read(kReadCommand.size(), 5s), kReadCommand);
    late.Write(ReplyBytes("FRESH0001"));
    ASSERT_TRUE(WaitFor([&] { return successes() == 1; }));
    EXPECT_EQ(w.edtSerialNumber->text(), "FRESH0001");
    EXPECT_FALSE(WaitFor([&] { return successes() > 1; }, 500));
}

// A message box that runs the event loop while it is open, as a modal box
// does: the first information box also runs `whileOpen` and stays open until
// `closeWhen` holds (at most 5 s).
struct ModalPrompt final : IPrompt {
    std::vector<std::pair<std::string, QString>> shown;
    std::function<void()> whileOpen;
    std::function<bool()> closeWhen;
    void information(const QString& text) override {
        shown.emplace_back("information", text);
        if (auto run = std::exchange(whileOpen, nullptr)) {
            QTimer::singleShot(0, run);
            WaitFor(closeWhen);
        }
    }
    void warning(const QString& text) override { shown.emplace_back("warning", text); }
    void plain(const QString& text) override { shown.emplace_back("plain", text); }
    bool confirm(const QString&) override { return true; }
};

TEST_F(FaultTest, ReadDuringAScanAndWhileAMessageBoxIsOpenEndsInTheLatestValues) {
    PtyPair silent;
    sim::LoggerSimulator logger;
    const PortAlias first(dir, "ttyUSB0");
    const PortAlias second(dir, "ttyUSB1");
    first.pointTo(silent.slavePath());
    second.pointTo(logger.PortPath());
    ports.ports = std::vector<std::string>{first.path(), second.path()};
    ModalPrompt modal;
    clock.now = DefaultNow();
    window = std::make_unique<TParamter>(Services{ports, modal, clock, sleeper, opener, files});
    TParamter& w = *window;
    w.show();
    w.tmrRead->setInterval(60'000);
    const auto successesShown = [&] {
        return std::count(modal.shown.begin(), modal.shown.end(),
                          std::pair<std::string, QString>{"information", "Read Success"});
    };

    // Read again while the scan waits on the silent port: the scan starts over.
    click(w.imgRead);
    w.tmrReadTimer();
    ASSERT_EQ(silent.Read(kReadCommand.size(), 5s), kReadCommand);
    click(w.imgRead);
    EXPECT_EQ(Exchange(w).portIndex, 0);
    w.tmrReadTimer();
    ASSERT_EQ(silent.Read(kReadCommand.size(), 5s), kReadCommand);
    w.tmrReadTimer();
    ASSERT_TRUE(WaitFor([&] { return successesShown() == 1; }));
    EXPECT_EQ(w.edtSerialNumber->text(), "T23110042");

    // Read again while the next "Read Success" box is still open.
    logger.SetBlock(BlockWithSerial("KV0000002"));
    modal.whileOpen = [&] {
        logger.SetBlock(BlockWithSerial("KV0000003"));
        click(w.imgRead);
    };
    modal.closeWhen = [&] { return successesShown() == 3; };
    click(w.imgRead);
    ASSERT_TRUE(WaitFor([&] { return successesShown() == 3; }));
    EXPECT_EQ(w.edtSerialNumber->text(), "KV0000003");
    EXPECT_EQ(std::count_if(modal.shown.begin(), modal.shown.end(),
                            [](const auto& shown) { return shown.first != "information"; }),
              0);
    EXPECT_TRUE(WaitFor([&] { return w.Comm->PortHandle() == 0; }));

    logger.SetBlock(BlockWithSerial("KV0000004"));
    click(w.imgRead);
    ASSERT_TRUE(WaitFor([&] { return successesShown() == 4; }));
    EXPECT_EQ(w.edtSerialNumber->text(), "KV0000004");
}

TEST_F(FaultTest, SaveBeforeAnyLoggerWasFoundSaysSoAndTheNextReadWorks) {
    sim::LoggerSimulator logger;
    const PortAlias port(dir, "ttyUSB0");
    port.pointTo(logger.PortPath());
    TParamter& w = start({port.path()});
    w.edtSerialNumber->setText("KV2024007");
    const auto values = Values(w);

    click(w.imgSave);

    EXPECT_EQ(prompt.shown, (decltype(prompt.shown){{"warning", "Can't Open the Port"}}));
    EXPECT_EQ(Values(w), values);
    EXPECT_EQ(w.Comm->PortHandle(), 0);
    EXPECT_EQ(logger.SaveCount(), 0u);
    EXPECT_TRUE(readShows("T23110042"));
}

TEST_F(FaultTest, APortAnotherProgramHoldsIsPassedOverWithoutAMessage) {
    PtyPair held;
    Holder otherProgram(held.slavePath());
    ASSERT_TRUE(otherProgram.locked());
    sim::LoggerSimulator logger;
    const PortAlias first(dir, "ttyUSB0");
    const PortAlias second(dir, "ttyUSB1");
    first.pointTo(held.slavePath());
    second.pointTo(logger.PortPath());
    TParamter& w = start({first.path(), second.path()});

    // During the scan the held port costs one tick and says nothing.
    click(w.imgRead);
    w.tmrReadTimer();
    EXPECT_EQ(w.Comm->PortHandle(), 0);
    EXPECT_TRUE(prompt.shown.empty());
    w.tmrReadTimer();
    ASSERT_TRUE(WaitFor([&] { return successes() == 1; }));
    const auto values = Values(w);
    prompt.shown.clear();

    // Once found, the logger's own port is taken by another program: Read
    // passes silently, Save says it cannot open the port.
    logger.SetBlock(BlockWithSerial("KV0000002"));
    Holder grabbed(logger.PortPath());
    ASSERT_TRUE(grabbed.locked());
    click(w.imgRead);
    EXPECT_FALSE(WaitFor([&] { return !prompt.shown.empty(); }, 500));
    click(w.imgSave);
    EXPECT_EQ(prompt.shown, (decltype(prompt.shown){{"warning", "Can't Open the Port"}}));
    EXPECT_EQ(Values(w), values);
    EXPECT_EQ(logger.SaveCount(), 0u);

    grabbed.Release();
    EXPECT_TRUE(readShows("KV0000002"));
}

// The operating system's own refusals reach the status line: a port another
// program holds and one that went away, beside one that opened but said nothing.
TEST_F(FaultTest, AScanThatFindsNothingSaysWhichPortsWereHeldOrGone) {
    PtyPair held;
    Holder otherProgram(held.slavePath());
    ASSERT_TRUE(otherProgram.locked());
    PtyPair silent;
    const PortAlias first(dir, "ttyUSB0");
    const PortAlias second(dir, "ttyUSB1");
    const PortAlias third(dir, "ttyUSB2"); // listed, but no device behind it
    first.pointTo(held.slavePath());
    second.pointTo(silent.slavePath());
    TParamter& w = start({first.path(), second.path(), third.path()});

    click(w.imgRead);
    w.tmrReadTimer();
    w.tmrReadTimer();
    EXPECT_EQ(silent.Read(kReadCommand.size(), 5s), kReadCommand);
    w.tmrReadTimer();
    EXPECT_EQ(w.lblScanStatus->text(),
              "Polling port 3 of 3: " + QString::fromStdString(third.path()));
    w.tmrReadTimer();
    EXPECT_EQ(w.lblScanStatus->text(),
              "Polled 3 ports, no logger: 1 in use by another program, 1 gone.");
    EXPECT_TRUE(prompt.shown.empty());
}

} // namespace
} // namespace korvel::window::testing_support
