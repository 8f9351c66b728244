// The component on real pseudo-terminals, the logger played from the master.
#include "serial/Comm.h"

#include <termios.h>

#include <numeric>
#include <thread>

#include <gtest/gtest.h>

#include "tests/serial/QueueSink.h"
#include "tests/serial/WindowCallingOrder.h"
#include "tests/support/SerialPty.h"

namespace korvel::serial {
namespace {

using korvel::testing::OpenLikeTheWindow;
using korvel::testing::PtyPair;
using korvel::testing::QueuedComm;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first = 0) {
    std::vector<std::uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

milliseconds TimeToClose(TComm& comm) {
    const auto start = Clock::now();
    comm.ClosePort();
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

std::string OpenError(TComm& comm) {
    try {
        comm.OpenPort();
    } catch (const ECommsError& error) {
        return error.what();
    }
    return "";
}

class CommPtyTest : public ::testing::Test {
protected:
    void SetUp() override { OpenLikeTheWindow(comm, pty.slavePath()); }

    bool ReceiveBytes(std::size_t count, milliseconds limit = 5s) {
        return port.PumpUntil([&] { return port.log.ReceivedBytes() >= count; }, limit);
    }
    std::vector<std::uint8_t> Received() const {
        std::vector<std::uint8_t> all;
        for (const auto& chunk : port.log.chunks) {
            all.insert(all.end(), chunk.begin(), chunk.end());
        }
        return all;
    }

    PtyPair pty;
    QueuedComm port;
    TComm& comm = port.comm;
};

TEST_F(CommPtyTest, AReplyWithoutPauseIsOneChunkAndAPauseSplitsIt) {
    pty.Write(Bytes(210));
    ASSERT_TRUE(ReceiveBytes(210));
    ASSERT_EQ(port.log.chunks.size(), 1u);
    EXPECT_EQ(port.log.chunks[0], Bytes(210));

    pty.Write(Bytes(5, 1));
    std::this_thread::sleep_for(300ms); // the pause on the line is what is tested
    pty.Write(Bytes(5, 6));
    ASSERT_TRUE(ReceiveBytes(220));
    ASSERT_EQ(port.log.chunks.size(), 3u);
    EXPECT_EQ(port.log.chunks[1], Bytes(5, 1));
    EXPECT_EQ(port.log.chunks[2], Bytes(5, 6));
}

// A chunk's first byte is noticed at once, not after the read interval that
// ends the chunk; the bytes after it still join the same chunk.
TEST_F(CommPtyTest, TheFirstByteIsNoticedLongBeforeItsChunkEnds) {
    EXPECT_TRUE(comm.ReportsFirstBytes());
    const auto begun = [&] { return port.log.Count(MessageId::MsgFirstBytes); };
    const auto sent = Clock::now();
    pty.Write({0xAA});
    ASSERT_TRUE(port.PumpUntil([&] { return begun() == 1; }));
    EXPECT_LT(Clock::now() - sent, 100ms); // half the read interval, even under a sanitizer
    EXPECT_TRUE(port.log.chunks.empty());
    std::this_thread::sleep_for(50ms);
    pty.Write(Bytes(9, 1));
    ASSERT_TRUE(ReceiveBytes(10));
    ASSERT_EQ(port.log.chunks.size(), 1u);
    EXPECT_EQ(port.log.chunks[0], (std::vector<std::uint8_t>{0xAA, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(begun(), 1u);
}

TEST_F(CommPtyTest, ABulkBurstArrivesWholeInBoundedChunksWhileTheOwnerIsBusy) {
    const auto sent = Bytes(5000);
    std::thread device([&] { pty.Write(sent); });
    std::this_thread::sleep_for(1s); // the owner's thread is busy and pumps nothing
    device.join();
    ASSERT_TRUE(ReceiveBytes(sent.size()));
    EXPECT_EQ(Received(), sent);
    EXPECT_GE(port.log.chunks.size(), 3u);
    for (const auto& chunk : port.log.chunks) {
        EXPECT_GE(chunk.size(), 1u);
        EXPECT_LE(chunk.size(), 2048u);
    }
}

TEST_F(CommPtyTest, EveryByteValueCrossesUnchangedBothWays) {
    const auto all = Bytes(256);
    pty.Write(all);
    ASSERT_TRUE(ReceiveBytes(256));
    EXPECT_EQ(Received(), all);

    ASSERT_TRUE(comm.SendData(all.data(), 256));
    EXPECT_EQ(pty.Read(256, 5s), all);
}

TEST_F(CommPtyTest, TheLoggerLineSettingsReachTheTerminal) {
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.slave(), &tio), 0);
    EXPECT_EQ(::cfgetospeed(&tio), speed_t{B9600});
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t{CS8});
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | INPCK), 0u);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
}

TEST_F(CommPtyTest, OpenFailuresAndTheOpenPortKeepsWorking) {
    EXPECT_EQ(OpenError(comm), "This serial port already opened");
    pty.Write({0xAA, 0x55});
    ASSERT_TRUE(ReceiveBytes(2));

    QueuedComm second;
    second.comm.setCommName(pty.slavePath());
    EXPECT_EQ(OpenError(second.comm), "Can't Open the Port");
    EXPECT_EQ(second.comm.PortHandle(), 0);
    second.comm.setCommName("/dev/korvel-no-such-port");
    EXPECT_EQ(OpenError(second.comm), "Can't Open the Port");
    EXPECT_EQ(second.comm.PortHandle(), 0);

    comm.ClosePort();
    second.comm.setCommName(pty.slavePath());
    EXPECT_EQ(OpenError(second.comm), "");
    EXPECT_NE(second.comm.PortHandle(), 0);
}

TEST_F(CommPtyTest, SendDataRefusesEmptyAndClosedAndClosingIsIdempotent) {
    const std::uint8_t byte = 0x14;
    EXPECT_FALSE(comm.SendData(&byte, 0));
    comm.ClosePort();
    EXPECT_EQ(comm.PortHandle(), 0);
    comm.ClosePort();
    EXPECT_FALSE(comm.SendData(&byte, 1));
}

TEST_F(CommPtyTest, TheHandlerMayCloseThePortAndLaterChunksStillArrive) {
    comm.OnReceiveData = [this](TComm& sender, const std::uint8_t* bytes, std::uint16_t length) {
        port.log.chunks.emplace_back(bytes, bytes + length);
        sender.ClosePort();
    };
    pty.Write(Bytes(7));
    ASSERT_TRUE(ReceiveBytes(7));
    EXPECT_EQ(comm.PortHandle(), 0);

    // A chunk posted before the close is still delivered after it.
    OpenLikeTheWindow(comm, pty.slavePath());
    comm.OnReceiveData = nullptr;
    pty.Write(Bytes(3));
    std::this_thread::sleep_for(400ms); // let the reader post while nothing pumps
    comm.ClosePort();
    EXPECT_TRUE(port.PumpUntil([&] { return port.sink->deliveredChunks == 2; }));
}

TEST_F(CommPtyTest, ClosingTheMasterGivesOneHangupAndEndsBothThreads) {
    struct Case {
        const char* name;
        std::function<void(PtyPair&, TComm&)> before;
    };
    const std::vector<Case> cases{
        {"ReaderWaiting", [](PtyPair&, TComm&) {}},
        {"MidChunk", [](PtyPair& peer, TComm&) { peer.Write(Bytes(3)); }},
        {"WriterBlocked",
         [](PtyPair& peer, TComm& link) {
             const auto big = Bytes(65535);
             ASSERT_TRUE(link.SendData(big.data(), 65535));
             // The master reads nothing, so the pty fills and the write waits.
             pollfd entry{peer.master(), POLLIN, 0};
             ASSERT_EQ(::poll(&entry, 1, 5000), 1);
             std::this_thread::sleep_for(50ms);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PtyPair pair;
        QueuedComm link;
        OpenLikeTheWindow(link.comm, pair.slavePath());
        c.before(pair, link.comm);
        pair.CloseMaster();
        ASSERT_TRUE(
            link.PumpUntil([&] { return link.log.Count(MessageId::MsgRequestHangup) >= 1; }));
        EXPECT_LT(TimeToClose(link.comm), 100ms);
        link.sink->PumpPending();
        EXPECT_EQ(link.log.Count(MessageId::MsgRequestHangup), 1u);
    }
}

TEST_F(CommPtyTest, TheStopEndsIdleBusyAndBlockedThreadsPromptly) {
    EXPECT_LT(TimeToClose(comm), 100ms) << "idle";

    OpenLikeTheWindow(comm, pty.slavePath());
    pty.Write(Bytes(3));
    std::this_thread::sleep_for(50ms); // inside the 200 ms interval
    EXPECT_LT(TimeToClose(comm), 100ms) << "mid-chunk";

    OpenLikeTheWindow(comm, pty.slavePath());
    const auto big = Bytes(65535);
    ASSERT_TRUE(comm.SendData(big.data(), 65535));
    pollfd entry{pty.master(), POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, 5000), 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(comm.SendQueueEmpty());
    EXPECT_LT(TimeToClose(comm), 100ms) << "writer blocked";
    port.sink->PumpPending();
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 0u);
}

} // namespace
} // namespace korvel::serial
