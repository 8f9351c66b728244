// The simulator over a real pseudo-terminal, driven the way the tool drives a port.
#include "tools/sim/LoggerSimulator.h"
#include "protocol/Frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace korvel::sim {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const Bytes kRead(kReadCommand.begin(), kReadCommand.end());

Bytes ToBytes(const Block& block) {
    return Bytes(block.begin(), block.end());
}

Bytes SaveCommandWithTrip(char first) {
    Block block = DefaultBlock();
    block[offset::kCommand] = command::kSave;
    block[offset::kTripInfo] = static_cast<std::uint8_t>(first);
    block[offset::kChecksum] = FrameChecksum(block.data(), offset::kChecksum - 1);
    return ToBytes(block);
}

// The tool's end of the line: the slave side opened by path, raw.
class Port {
public:
    explicit Port(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {
        termios raw{};
        ::tcgetattr(fd_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(fd_, TCSANOW, &raw);
    }
    ~Port() { ::close(fd_); }
    bool isOpen() const { return fd_ >= 0; }

    void send(const Bytes& bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `count` bytes came or `timeout` passed; notes when each chunk came.
    Bytes receive(std::size_t count, std::chrono::milliseconds timeout,
                  std::vector<Clock::time_point>* arrivals = nullptr) {
        Bytes bytes;
        const auto deadline = Clock::now() + timeout;
        while (bytes.size() < count && Clock::now() < deadline) {
            pollfd in{fd_, POLLIN, 0};
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (::poll(&in, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            std::uint8_t chunk[256];
            const ssize_t got = ::read(fd_, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (got > 0) {
                bytes.insert(bytes.end(), chunk, chunk + got);
                if (arrivals != nullptr) {
                    arrivals->push_back(Clock::now());
                }
            }
        }
        return bytes;
    }

private:
    int fd_;
};

Clock::duration LongestGap(const std::vector<Clock::time_point>& arrivals) {
    Clock::duration longest{};
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        longest = std::max(longest, arrivals[i] - arrivals[i - 1]);
    }
    return longest;
}

TEST(LoggerSimulator, AnswersTheReadCommandWithItsBlock) {
    LoggerSimulator sim;
    EXPECT_EQ(sim.PortPath().rfind("/dev/pts/", 0), 0u);
    Port port(sim.PortPath());
    ASSERT_TRUE(port.isOpen());

    port.send(kRead);
    EXPECT_EQ(port.receive(kFrameSize, 2s), ToBytes(DefaultBlock()));
    EXPECT_EQ(sim.ReadCount(), 1u);
    EXPECT_EQ(sim.SaveCount(), 0u);
}

TEST(LoggerSimulator, KeepsASavedBlockAndReportsItOnTheNextRead) {
    std::vector<Block> saved;
    LoggerSimulator::Options options;
    options.onSave = [&saved](const Block& block) { saved.push_back(block); };
    LoggerSimulator sim(std::move(options));
    Port port(sim.PortPath());

    const Bytes save = SaveCommandWithTrip('W');
    port.send(save);
    EXPECT_EQ(port.receive(frame_size::kSaveAck, 2s),
              Bytes(kSaveAcknowledgement.begin(), kSaveAcknowledgement.end()));
    ASSERT_TRUE(sim.WaitForSaves(1, 2s));
    EXPECT_EQ(ToBytes(sim.CurrentBlock()), save);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(ToBytes(saved[0]), save);

    port.send(kRead);
    const Bytes reply = port.receive(kFrameSize, 2s);
    ASSERT_EQ(reply.size(), kFrameSize);
    EXPECT_TRUE(CheckFrame(reply.data(), reply.size()));
    EXPECT_EQ(reply[offset::kCommand], command::kReadReply);
    EXPECT_EQ(reply[offset::kTripInfo], 'W');
}

TEST(LoggerSimulator, DropsAnUnfinishedFrameAfterSilence) {
    LoggerSimulator::Options options;
    options.frameSilence = 100ms;
    LoggerSimulator sim(std::move(options));
    Port port(sim.PortPath());

    const Bytes save = SaveCommandWithTrip('P');
    port.send(Bytes(save.begin(), save.begin() + 50));
    // The silence itself is what is under test, so here the wait is the condition.
    std::this_thread::sleep_for(250ms);
    port.send(Bytes{0x00, 0x13});
    port.send(kRead);

    EXPECT_EQ(port.receive(kFrameSize, 2s), ToBytes(DefaultBlock()));
    EXPECT_EQ(sim.SaveCount(), 0u);
}

TEST(LoggerSimulator, MisbehavesAsToldAtRunTime) {
    LoggerSimulator sim;
    Port port(sim.PortPath());
    const Bytes good = ToBytes(DefaultBlock());

    sim.SetMode(Mode::Silent);
    port.send(kRead);
    ASSERT_TRUE(sim.WaitForReads(1, 2s));
    EXPECT_TRUE(port.receive(1, 300ms).empty());

    for (Mode mode : {Mode::Garbage, Mode::BadChecksum}) {
        sim.SetMode(mode);
        port.send(kRead);
        const Bytes reply = port.receive(kFrameSize, 2s);
        EXPECT_EQ(reply.size(), kFrameSize) << ModeName(mode);
        EXPECT_FALSE(CheckFrame(reply.data(), reply.size())) << ModeName(mode);
    }

    sim.SetMode(Mode::Short);
    port.send(kRead);
    EXPECT_EQ(port.receive(kFrameSize, 600ms), Bytes(good.begin(), good.begin() + kShortReplySize));

    sim.SetMode(Mode::Split);
    port.send(kRead);
    std::vector<Clock::time_point> arrivals;
    EXPECT_EQ(port.receive(kFrameSize, 2s, &arrivals), good);
    EXPECT_GE(LongestGap(arrivals), 200ms); // beyond the logger's read interval time-out
}

TEST(LoggerSimulator, PacesAtNineThousandSixHundredBaud) {
    LoggerSimulator sim;
    sim.SetPace(true);
    Port port(sim.PortPath());

    port.send(kRead);
    ASSERT_TRUE(sim.WaitForReads(1, 2s));
    std::vector<Clock::time_point> arrivals;
    const auto start = Clock::now();
    EXPECT_EQ(port.receive(kFrameSize, 3s, &arrivals), ToBytes(DefaultBlock()));
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 190ms); // 210 bytes at 1.0417 ms, less what was on the way already
    EXPECT_LT(took, 1500ms);
    EXPECT_LT(LongestGap(arrivals), 150ms); // well inside the read interval time-out
}

TEST(LoggerSimulator, StopsPromptlyInTheMiddleOfADelay) {
    auto sim = std::make_unique<LoggerSimulator>();
    sim->SetReplyDelay(10s);
    Port port(sim->PortPath());
    port.send(kRead);
    ASSERT_TRUE(sim->WaitForReads(1, 2s));

    const auto start = Clock::now();
    sim.reset();
    EXPECT_LT(Clock::now() - start, 1s);
}

} // namespace
} // namespace korvel::sim
