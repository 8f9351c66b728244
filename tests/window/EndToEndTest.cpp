// The window against simulated loggers on real pseudo-terminals, through the
// real port component: discovery among several ports, the read reply in the
// controls, and the save command as the logger receives it.
#include "WindowFixture.h"

#include "protocol/Frame.h"
#include "tests/support/SerialPty.h"
#include "tools/sim/LoggerSimulator.h"
#include "tools/sim/SimBlock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <thread>

namespace korvel::window::testing_support {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;
using Prompts = std::vector<std::pair<std::string, QString>>;

bool Shown(const RecordingPrompt& prompt, const char* kind, const char* text) {
    const std::pair<std::string, QString> wanted{kind, QString::fromLatin1(text)};
    return std::find(prompt.shown.begin(), prompt.shown.end(), wanted) != prompt.shown.end();
}

// A port with nothing behind it: a pseudo-terminal whose far end never answers.
class SilentPort {
public:
    SilentPort() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) == 0) {
            path_ = ::ttyname(slave_);
        }
    }
    ~SilentPort() {
        ::close(master_);
        ::close(slave_);
    }
    const std::string& path() const { return path_; }
    // Sends bytes to the tool, as a logger would.
    void put(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // What the tool wrote, waiting at most `timeout` for `count` bytes.
    std::vector<std::uint8_t> written(std::size_t count, std::chrono::milliseconds timeout) {
        std::vector<std::uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd in{master_, POLLIN, 0};
            if (::poll(&in, 1, 20) == 1) {
                std::uint8_t chunk[64];
                const ssize_t got = ::read(master_, chunk, sizeof chunk);
                if (got > 0) {
                    bytes.insert(bytes.end(), chunk, chunk + got);
                }
            }
        }
        return bytes;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Another program's hold on a port: its own descriptor with an exclusive lock.
class Holder {
public:
    explicit Holder(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
        locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~Holder() { ::close(fd_); }
    bool locked() const { return locked_; }

private:
    int fd_;
    bool locked_ = false;
};

// Port names the test chooses, so that their sorted order is known.
class PortNames {
public:
    std::string link(const char* name, const std::string& target) {
        std::string path = at(name);
        EXPECT_EQ(::symlink(target.c_str(), path.c_str()), 0) << path;
        return path;
    }
    std::string at(const char* name) const {
        return QDir(dir_.path()).filePath(QString::fromLatin1(name)).toStdString();
    }

private:
    QTemporaryDir dir_;
};

class EndToEndTest : public WindowTest {
protected:
    // Clicks like the user does, through the pictures' click signals.
    void click(TPicture* picture) { QTest::mouseClick(picture, Qt::LeftButton); }

    // The window, after a Read that found `logger` on the only port.
    TParamter& readFrom(sim::LoggerSimulator& logger) {
        ports.ports = std::vector<std::string>{logger.PortPath()};
        TParamter& w = show();
        w.tmrRead->setInterval(60'000);
        click(w.imgRead);
        w.tmrReadTimer();
        EXPECT_TRUE(WaitFor([&] { return Shown(prompt, "information", "Read Success"); }));
        return w;
    }
};

// Every byte of the block read is in the block saved, but the command, the
// clock the save writes and the checksum.
void ExpectSavedAsRead(const sim::Block& read, const sim::Block& saved) {
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        const bool systemTimeByte = i >= offset::kSystemYear && i < offset::kTripInfo;
        if (i != offset::kCommand && i != offset::kChecksum && !systemTimeByte) {
            EXPECT_EQ(saved[i], read[i]) << "byte " << i;
        }
    }
}

TEST_F(EndToEndTest, ReadFindsTheLoggerAtItsSortedPositionPassingOverTheOthers) {
    sim::LoggerSimulator::Options faulty;
    faulty.mode = sim::Mode::BadChecksum;
    sim::LoggerSimulator badLogger(faulty);
    sim::LoggerSimulator logger;
    SilentPort silent;
    SilentPort held;
    Holder otherProgram(held.path());
    ASSERT_TRUE(otherProgram.locked());
    PortNames names;
    const std::string bad = names.link("ttyUSB0", badLogger.PortPath());
    const std::string busy = names.link("ttyUSB1", held.path());
    const std::string missing = names.at("ttyUSB2");
    const std::string quiet = names.link("ttyUSB3", silent.path());
    const std::string found = names.link("ttyUSB4", logger.PortPath());
    ports.ports = std::vector<std::string>{found, missing, bad, quiet, busy};

    TParamter& w = show();
    ASSERT_EQ(w.tmrRead->interval(), 3000);
    w.tmrRead->setInterval(60'000); // the ticks below are the test's own
    click(w.imgRead);
    ASSERT_TRUE(w.tmrRead->isActive());

    w.tmrReadTimer(); // the logger that garbles its reply
    ASSERT_TRUE(WaitFor([&] { return Shown(prompt, "warning", "Data Check Error"); }));
    EXPECT_FALSE(Exchange(w).deviceFound);
    EXPECT_TRUE(w.tmrRead->isActive());
    w.tmrReadTimer(); // held by another program
    w.tmrReadTimer(); // gone
    w.tmrReadTimer(); // nothing behind it
    EXPECT_EQ(silent.written(kReadCommand.size(), 2s),
              std::vector<std::uint8_t>(kReadCommand.begin(), kReadCommand.end()));
    w.tmrReadTimer(); // the logger
    ASSERT_TRUE(WaitFor([&] { return Shown(prompt, "information", "Read Success"); }));

    EXPECT_EQ(prompt.shown,
              (Prompts{{"warning", "Data Check Error"}, {"information", "Read Success"}}));
    EXPECT_TRUE(Exchange(w).deviceFound);
    EXPECT_EQ(Exchange(w).portIndex, 4);
    EXPECT_EQ(Exchange(w).portName, found);
    EXPECT_FALSE(w.tmrRead->isActive());
    EXPECT_EQ(w.Comm->PortHandle(), 0);
    EXPECT_EQ(w.edtSerialNumber->text(), "T23110042");
    EXPECT_EQ(w.cbbLogIntervalM->currentText(), "15");
    EXPECT_EQ(w.cbbTimeZone->currentText(), "UTC+01:00");
    EXPECT_TRUE(w.rbSingleAlarm->isChecked());
    EXPECT_EQ(w.edtSingleL1->text(), "2.00");
    EXPECT_EQ(w.edtSingleH1->text(), "8.00");
    EXPECT_EQ(w.mmoTripInfo->toPlainText(), "Cold chain shipment, keep at 2-8 C");
}

// A logger whose settings the window mostly does not show; its stop mode byte
// 0x11 is the XON character, which must cross the line as data.
sim::Block HiddenSettingsBlock() {
    sim::Block block = sim::DefaultBlock();
    const auto put = [&block](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
        std::copy(bytes.begin(), bytes.end(), block.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(offset::kLogIntervalH, {1, 60, 30});
    put(offset::kStopMode,
        {value::kStopByButtonOrSoftware, value::kStartTiming, 24, 5, 6, 7, 8, 9});
    put(offset::kProbeMode, {1, 0, 1, 1, 3, 30, 1}); // external, °F, UTC-03:30, closed
    put(offset::kCalibrationTemperature, {1, 1, 25, 0, 3, 50, 0, 1, 'P', 'w', '1', '2', '3', '4'});
    std::fill_n(block.begin() + offset::kTripInfo, width::kTripInfo, 0);
    const std::string trip = "Vaccines\r\nRoute \xB7 B";
    std::copy(trip.begin(), trip.end(), block.begin() + offset::kTripInfo);
    return sim::ReadReplyFrom(block);
}

TEST_F(EndToEndTest, ReadThenSaveHandsTheLoggerBackEverySettingByteForByte) {
    sim::LoggerSimulator::Options options;
    options.block = HiddenSettingsBlock();
    sim::LoggerSimulator logger(options);
    TParamter& w = readFrom(logger);

    click(w.imgSave);
    // The system time the save took from the window's clock lists.
    std::vector<std::uint8_t> systemTime;
    for (QComboBox* list : {w.cbbSystemTimeY, w.cbbSystemTimeM, w.cbbSystemTimeD, w.cbbSystemTimeH,
                            w.cbbSystemTimeN, w.cbbSystemTimeS}) {
        systemTime.push_back(static_cast<std::uint8_t>(list->currentText().toInt() % 2000));
    }
    ASSERT_TRUE(WaitFor([&] { return Shown(prompt, "information", "Save Success"); }));
    ASSERT_EQ(logger.SaveCount(), 1u);

    const sim::Block read = HiddenSettingsBlock();
    const sim::Block saved = logger.CurrentBlock();
    EXPECT_EQ(saved[offset::kCommand], command::kSave);
    EXPECT_EQ(std::vector<std::uint8_t>(saved.begin() + offset::kSystemYear,
                                        saved.begin() + offset::kTripInfo),
              systemTime);
    ExpectSavedAsRead(read, saved);
    EXPECT_EQ(saved[offset::kChecksum], FrameChecksum(saved.data(), offset::kChecksum - 1));
    EXPECT_EQ(w.Comm->PortHandle(), 0);
}

// A logger left with a single alarm whose low limit is above its high one, as
// an older tool or a fault may leave it.
sim::Block CrossedLimitsBlock() {
    sim::Block block = sim::DefaultBlock();
    block[offset::kAlarmSwitch] = value::kAlarmOn;
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const auto threshold = static_cast<Threshold>(i);
        std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(ThresholdOffset(threshold)),
                    width::kAlarmLevel, IsOptional(threshold) ? level::kDisabled : 0);
    }
    block[ThresholdOffset(Threshold::L1) + level::kInteger] = 46;
    block[ThresholdOffset(Threshold::L1) + level::kHundredths] = 52;
    block[ThresholdOffset(Threshold::H1) + level::kInteger] = 3;
    block[ThresholdOffset(Threshold::H1) + level::kHundredths] = 56;
    return sim::ReadReplyFrom(block);
}

// The logger's own crossed limits go back as they came; the same crossing typed
// anew is refused.
TEST_F(EndToEndTest, ALoggersOwnCrossedLimitsAreSavedBackButNotTypedAnew) {
    sim::LoggerSimulator::Options options;
    options.block = CrossedLimitsBlock();
    sim::LoggerSimulator logger(options);
    TParamter& w = readFrom(logger);
    ASSERT_TRUE(w.rbSingleAlarm->isChecked());
    EXPECT_EQ(w.edtSingleL1->text(), "46.52");
    EXPECT_EQ(w.edtSingleH1->text(), "3.56");

    click(w.imgSave);
    ASSERT_TRUE(WaitFor([&] { return Shown(prompt, "information", "Save Success"); }));
    ASSERT_EQ(logger.SaveCount(), 1u);
    ExpectSavedAsRead(CrossedLimitsBlock(), logger.CurrentBlock());

    const char* refusal = "The Temperature L1 can not be above the Temperature H1";
    w.edtSingleL1->setText("50");
    click(w.imgSave);
    EXPECT_TRUE(Shown(prompt, "information", refusal));
    w.edtSingleL1->setText("46.52"); // the logger's own again
    click(w.imgSave);
    ASSERT_TRUE(WaitFor([&] { return logger.SaveCount() == 2u; }));
    EXPECT_EQ(std::count_if(prompt.shown.begin(), prompt.shown.end(),
                            [&](const auto& shown) { return shown.second == refusal; }),
              1);
}

TEST_F(EndToEndTest, ScanPacesItsPollsThreeSecondsApart) {
    sim::LoggerSimulator logger;
    PortNames names;
    ports.ports =
        std::vector<std::string>{names.link("ttyACM1", logger.PortPath()), names.at("ttyACM0")};
    TParamter& w = show();
    QElapsedTimer elapsed;
    elapsed.start();
    click(w.imgRead);

    ASSERT_TRUE(WaitFor([&] { return Shown(prompt, "information", "Read Success"); }, 12'000));
    // The first tick polls the missing ttyACM0, the second the logger.
    EXPECT_GE(elapsed.elapsed(), 6'000);
    EXPECT_LT(elapsed.elapsed(), 10'000);
    EXPECT_EQ(logger.ReadCount(), 1u);
    EXPECT_EQ(Exchange(w).portName, names.at("ttyACM1"));
}

// A logger may pause inside its reply; the port's read interval keeps a pause
// shorter than it inside one chunk, which is one whole frame.
TEST_F(EndToEndTest, ReplyWithAPauseInItsMiddleIsReadWhole) {
    const sim::Block reply = sim::ReadReplyFrom(sim::DefaultBlock());
    const std::vector<std::uint8_t> head(reply.begin(), reply.begin() + 105);
    const std::vector<std::uint8_t> tail(reply.begin() + 105, reply.end());
    struct Outcome {
        Prompts shown;
        QString serialNumber;
    };
    const auto trial = [&](std::chrono::milliseconds pause) -> std::optional<Outcome> {
        korvel::testing::PtyPair device;
        ports.ports = std::vector<std::string>{device.slavePath()};
        prompt.shown.clear();
        TParamter& w = show();
        w.tmrRead->setInterval(60'000);
        click(w.imgRead);
        w.tmrReadTimer();
        EXPECT_EQ(device.Read(kReadCommand.size(), 5s),
                  std::vector<std::uint8_t>(kReadCommand.begin(), kReadCommand.end()));
        device.Write(head);
        const auto paused = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(pause);
        const auto actual = std::chrono::steady_clock::now() - paused;
        device.Write(tail);
        WaitFor([&] { return !prompt.shown.empty(); });
        // A busy machine may stretch the pause; one stretched to the port's
        // read interval proves nothing either way.
        if (actual > 180ms) {
            return std::nullopt;
        }
        return Outcome{prompt.shown, w.edtSerialNumber->text()};
    };
    for (const auto pause : {50ms, 150ms}) {
        SCOPED_TRACE(pause.count());
        std::optional<Outcome> outcome;
        for (int attempt = 0; attempt < 3 && !outcome; ++attempt) {
            outcome = trial(pause);
        }
        ASSERT_TRUE(outcome.has_value()) << "the machine never kept the pause short enough";
        EXPECT_EQ(outcome->shown, (Prompts{{"information", "Read Success"}}));
        EXPECT_EQ(outcome->serialNumber, "T23110042");
    }
}

// A byte that the line change brings in while the port is being set up (an
// adapter's glitch, a logger waking up) is no part of the reply that follows.
TEST_F(EndToEndTest, ByteArrivingDuringThePauseBeforeTheReadCommandIsNotPartOfTheReply) {
    SilentPort line;
    struct GlitchingSleeper final : ISleeper {
        SilentPort* line = nullptr;
        void sleepMs(int milliseconds) override {
            line->put({0x00});
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        }
    } glitching;
    glitching.line = &line;
    ports.ports = std::vector<std::string>{line.path()};
    clock.now = DefaultNow();
    window = std::make_unique<TParamter>(Services{ports, prompt, clock, glitching, opener, files});
    window->show();
    TParamter& w = *window;
    w.tmrRead->setInterval(60'000);
    click(w.imgRead);
    w.tmrReadTimer();
    ASSERT_EQ(line.written(kReadCommand.size(), 2s),
              std::vector<std::uint8_t>(kReadCommand.begin(), kReadCommand.end()));
    const sim::Block reply = sim::ReadReplyFrom(sim::DefaultBlock());
    line.put(std::vector<std::uint8_t>(reply.begin(), reply.end()));
    ASSERT_TRUE(WaitFor([&] { return !prompt.shown.empty(); }));
    EXPECT_EQ(prompt.shown, (Prompts{{"information", "Read Success"}}));
}

} // namespace
} // namespace korvel::window::testing_support
