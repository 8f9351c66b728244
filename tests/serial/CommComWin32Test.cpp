// The component on a COM port whose far end echoes (under Wine: a
// pseudo-terminal behind a dosdevices link, played by tests/wine/pty_peer),
// driven in the window's calling order.
#include "serial/Comm.h"

#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/ComPeer_win.h"
#include "tests/serial/QueueSink.h"
#include "tests/serial/WindowCallingOrder.h"

namespace korvel::serial {
namespace {

using korvel::testing::kHangupMarker;
using korvel::testing::kNoComPortReason;
using korvel::testing::OpenLikeTheWindow;
using korvel::testing::QueuedComm;
using korvel::testing::TestComPort;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The read command and a reply-sized frame: what the window sends.
const std::vector<std::uint8_t> kReadCommand{0xAA, 0x55, 0x14, 0x01, 0x11, 0x26, 0xAA};

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

class CommComTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto name = TestComPort();
        if (!name) {
            GTEST_SKIP() << kNoComPortReason;
        }
        name_ = *name;
        OpenLikeTheWindow(comm, name_);
    }

    bool Send(const std::vector<std::uint8_t>& bytes) {
        return comm.SendData(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
    }
    bool ReceiveBytes(std::size_t count, std::chrono::milliseconds limit = 5s) {
        return port.PumpUntil([&] { return port.log.ReceivedBytes() >= count; }, limit);
    }

    std::string name_;
    QueuedComm port;
    TComm& comm = port.comm;
};

TEST_F(CommComTest, AnAnswerWithoutPauseIsOneChunk) {
    ASSERT_TRUE(Send(kReadCommand));
    ASSERT_TRUE(ReceiveBytes(kReadCommand.size()));
    ASSERT_TRUE(Send(Bytes(210)));
    ASSERT_TRUE(ReceiveBytes(kReadCommand.size() + 210));
    ASSERT_EQ(port.log.chunks.size(), 2u);
    EXPECT_EQ(port.log.chunks[0], kReadCommand);
    EXPECT_EQ(port.log.chunks[1], Bytes(210));
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 0u);
}

TEST_F(CommComTest, ClosingWithAReadOutstandingIsPromptAndReopens) {
    const auto start = Clock::now();
    comm.ClosePort();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(comm.PortHandle(), 0);

    OpenLikeTheWindow(comm, name_);
    ASSERT_TRUE(Send(kReadCommand));
    ASSERT_TRUE(ReceiveBytes(kReadCommand.size()));
    EXPECT_EQ(port.log.chunks.back(), kReadCommand);
}

// The window's whole exchange, many times over: every reply arrives whole.
TEST_F(CommComTest, RepeatedExchangesEachArriveWhole) {
    constexpr int kExchanges = 20;
    for (int i = 0; i < kExchanges; ++i) {
        OpenLikeTheWindow(comm, name_);
        const auto frame = Bytes(210, static_cast<std::uint8_t>(i));
        ASSERT_TRUE(Send(frame)) << i;
        ASSERT_TRUE(ReceiveBytes(210u * (i + 1))) << i;
        EXPECT_EQ(port.log.chunks.back(), frame) << i;
        comm.ClosePort();
    }
    EXPECT_EQ(port.log.chunks.size(), static_cast<std::size_t>(kExchanges));
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 0u);
}

TEST_F(CommComTest, AnUnpluggedPortIsOneHangupNotice) {
    const std::vector<std::uint8_t> marker(kHangupMarker.begin(), kHangupMarker.end());
    ASSERT_TRUE(Send(marker));
    ASSERT_TRUE(
        port.PumpUntil([&] { return port.log.Count(MessageId::MsgRequestHangup) > 0; }, 5s));
    // Anything else the failing threads post arrives within a moment.
    port.PumpUntil([] { return false; }, 300ms);
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 1u);
    comm.ClosePort();
}

} // namespace
} // namespace korvel::serial
