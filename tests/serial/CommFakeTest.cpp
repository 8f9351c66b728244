// The component and its threads against a scripted device: settings that
// reach the device, line events, partial writes and every failure path.
#include "serial/Comm.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <future>

#include <gtest/gtest.h>

#include "tests/serial/FakeDevice.h"
#include "tests/serial/QueueSink.h"

namespace korvel::serial {
namespace {

using korvel::testing::FakeOpener;
using korvel::testing::FakeState;
using korvel::testing::QueuedComm;
using Kind = platform::InputResult::Kind;
using Entry = korvel::testing::EventLog::Entry;
using platform::SerialError;

// What the parameter window does before every open.
void UseWindowSettings(TComm& comm) {
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.setCommName("ttyUSB0");
    comm.setBaudRate(9600);
    comm.setReadIntervalTimeout(200);
}

class CommFakeTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeState> device = std::make_shared<FakeState>();
    QueuedComm port{FakeOpener(device)};
    TComm& comm = port.comm;
};

TEST_F(CommFakeTest, OpensWithTheWindowsLineSettingsAndTimeouts) {
    UseWindowSettings(comm);
    comm.OpenPort();
    ASSERT_EQ(device->lineSettings.size(), 1u);
    const platform::LineSettings& s = device->lineSettings.back();
    EXPECT_EQ(s.flags, 0x1091u);
    EXPECT_EQ(platform::DtrControlOf(s.flags), platform::DtrControl::Enable);
    EXPECT_EQ(platform::RtsControlOf(s.flags), platform::RtsControl::Enable);
    EXPECT_EQ(s, (platform::LineSettings{9600, 0x1091, 500, 500, 8, 0, 0, 0x11, 0x13, 0}));
    ASSERT_EQ(device->timeouts.size(), 1u);
    EXPECT_EQ(device->timeouts.back(), (platform::Timeouts{200, 0, 0, 0, 0}));
    EXPECT_NE(comm.PortHandle(), 0);
}

TEST_F(CommFakeTest, ConstructorValuesAddSoftwareFlowControl) {
    EXPECT_EQ(comm.CommName(), "COM2");
    EXPECT_EQ(comm.ReadIntervalTimeout(), 100u);
    comm.OpenPort();
    ASSERT_EQ(device->lineSettings.size(), 1u);
    EXPECT_EQ(device->lineSettings.back().flags, 0x1391u);
}

TEST_F(CommFakeTest, SettersTouchTheDeviceOnlyForRealChangesWhileOpen) {
    UseWindowSettings(comm);
    comm.setBaudRate(19200); // closed: stored only
    EXPECT_TRUE(device->lineSettings.empty());
    comm.setBaudRate(9600);
    comm.OpenPort();
    const auto lineCalls = device->lineSettings.size();
    const auto timeoutCalls = device->timeouts.size();

    comm.setBaudRate(9600);
    comm.setReadIntervalTimeout(200);
    comm.setDtrControl(TDtrControl::DtrEnable);
    comm.setCommName("ttyUSB1");
    comm.setParity(TParity::Even); // waits for the next line change
    EXPECT_EQ(device->lineSettings.size(), lineCalls);
    EXPECT_EQ(device->timeouts.size(), timeoutCalls);

    comm.setStopBits(TStopBits::_2);
    ASSERT_EQ(device->lineSettings.size(), lineCalls + 1);
    EXPECT_EQ(device->lineSettings.back().parity, 2);
    EXPECT_EQ(device->lineSettings.back().stopBits, 2);
    comm.setReadTotalTimeoutConstant(50);
    ASSERT_EQ(device->timeouts.size(), timeoutCalls + 1);
    EXPECT_EQ(device->timeouts.back().readTotalConstant, 50u);
}

TEST_F(CommFakeTest, EveryControlBlockFlagFollowsItsProperty) {
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.setTxContinueOnXoff(false);
    comm.OpenPort();
    comm.setParityCheck(true);
    comm.setOutx_CtsFlow(true);
    comm.setOutx_DsrFlow(true);
    comm.setDtrControl(TDtrControl::DtrHandshake);
    comm.setDsrSensitivity(true);
    comm.setReplaceWhenParityError(true);
    comm.setIgnoreNullChar(true);
    comm.setRtsControl(TRtsControl::RtsTransmissionAvailable);
    comm.setByteSize(TByteSize::_7);
    comm.setXonChar(0x21);
    comm.setXoffChar(0x22);
    comm.setReplacedChar(0x3F);
    comm.setXonLimit(10);
    comm.setXoffLimit(20);
    EXPECT_EQ(device->lineSettings.back(),
              (platform::LineSettings{9600, 0x3C6F, 10, 20, 7, 0, 0, 0x21, 0x22, 0x3F}));
    comm.setDtrControl(TDtrControl::DtrDisable);
    comm.setRtsControl(TRtsControl::RtsDisable);
    EXPECT_EQ(device->lineSettings.back().flags, 0x0C4Fu);
}

TEST_F(CommFakeTest, OpenFailuresLeaveThePortClosedAndReusable) {
    device->setupOk = false;
    try {
        comm.OpenPort();
        FAIL() << "no exception";
    } catch (const ECommsError& error) {
        EXPECT_STREQ(error.what(), "不能设置通讯缓冲区");
    }
    EXPECT_EQ(comm.PortHandle(), 0);
    EXPECT_EQ(device->closed, device->opened);

    device->setupOk = true;
    comm.OpenPort();
    EXPECT_NE(comm.PortHandle(), 0);

    QueuedComm refused([](const std::string&) {
        return platform::OpenResult{nullptr, SerialError::Busy, {EBUSY, "Device or resource busy"}};
    });
    EXPECT_THROW(
        {
            try {
                refused.comm.OpenPort();
            } catch (const ECommsError& error) {
                EXPECT_STREQ(error.what(), "Can't Open the Port");
                throw;
            }
        },
        ECommsError);
    EXPECT_EQ(refused.comm.PortHandle(), 0);
}

TEST_F(CommFakeTest, RefusedLineSettingsFailTheOpenWithTheSystemsWords) {
    device->lineSettingsResult = {false, SerialError::NotSupported, {EINVAL, "Invalid argument"}};
    try {
        comm.OpenPort();
        FAIL() << "no exception";
    } catch (const ECommsError& error) {
        EXPECT_STREQ(error.what(), "Can't Apply the Line Settings");
        EXPECT_EQ(error.Error(), SerialError::NotSupported);
        EXPECT_EQ(error.System().code, EINVAL);
        EXPECT_EQ(error.System().text, "Invalid argument");
    }
    EXPECT_EQ(comm.PortHandle(), 0);
    EXPECT_TRUE(device->WaitFor([&] { return device->closed == device->opened; }));

    device->lineSettingsResult = {};
    comm.OpenPort();
    EXPECT_NE(comm.PortHandle(), 0);
}

// Setting the line up (a new baud rate, DTR and RTS raised) can bring bytes in
// that must not join the first reply.
TEST_F(CommFakeTest, InputIsPurgedOnceTheLineSettingsAreInForce) {
    comm.OpenPort();
    std::lock_guard lock(device->mutex);
    const auto after =
        device->purges.begin() + static_cast<std::ptrdiff_t>(device->purgesBeforeLineSettings);
    EXPECT_NE(std::find(after, device->purges.end(), platform::kPurgeRxClear),
              device->purges.end());
}

// A driver can hold a close for its closing wait (30 s on usb-serial adapters
// with output queued); the owner's thread must not wait it out.
TEST_F(CommFakeTest, ASlowCloseRunsOffTheOwnersThreadAndHoldsThePortUntilItEnds) {
    comm.OpenPort();
    {
        std::lock_guard lock(device->mutex);
        device->closeBlocks = true;
    }
    const auto start = std::chrono::steady_clock::now();
    comm.ClosePort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(comm.PortHandle(), 0);

    try {
        comm.OpenPort();
        FAIL() << "opened while the close was still running";
    } catch (const ECommsError& error) {
        EXPECT_STREQ(error.what(), "Can't Open the Port");
        EXPECT_EQ(error.Error(), SerialError::Busy);
    }
    EXPECT_EQ(comm.PortHandle(), 0);

    device->ReleaseClose();
    ASSERT_TRUE(device->WaitFor([&] { return device->closed == 1; }));
    comm.OpenPort();
    EXPECT_NE(comm.PortHandle(), 0);
}

// An open that blocks (an outgoing Bluetooth port connecting) fails after the
// open limit, and the device it yields later is closed, not kept or leaked;
// a quick open under the same limit goes through as before.
TEST(CommOpenLimitTest, AnOpenPastTheLimitFailsAndItsLateDeviceIsClosed) {
    auto device = std::make_shared<FakeState>();
    auto release = std::make_shared<std::promise<void>>();
    std::shared_future<void> released = release->get_future().share();
    std::atomic<bool> blocks = true;
    QueuedComm port{[device, released, &blocks](const std::string& name) {
        if (blocks) {
            released.wait_for(std::chrono::seconds(10));
        }
        return FakeOpener(device)(name);
    }};
    port.comm.setOpenLimit(std::chrono::milliseconds(100));
    const auto start = std::chrono::steady_clock::now();
    try {
        port.comm.OpenPort();
        FAIL() << "opened although the open blocks";
    } catch (const ECommsError& error) {
        EXPECT_STREQ(error.what(), "Can't Open the Port");
        EXPECT_EQ(error.Error(), SerialError::Other);
        EXPECT_EQ(error.System().text.rfind("did not open within 0.1 s", 0), 0u)
            << error.System().text;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(port.comm.PortHandle(), 0);

    blocks = false;
    release->set_value();
    ASSERT_TRUE(device->WaitFor([&] { return device->opened == 1 && device->closed == 1; }));
    port.comm.OpenPort();
    EXPECT_NE(port.comm.PortHandle(), 0);
}

// What an earlier open left queued is dispatched after the next OpenPort; it
// belongs to another exchange and must change nothing.
TEST_F(CommFakeTest, NotificationsOfAnEarlierOpenAreDroppedAfterTheNextOpen) {
    device->AddStep({Kind::ReadDone, {1, 2, 3}});
    device->AddStep({Kind::Failed, {}, 0, SerialError::DeviceGone});
    comm.OpenPort();
    ASSERT_TRUE(device->ReaderEnded());
    comm.ClosePort(); // the writer has posted its idle notice by now

    device->AddStep({Kind::ReadDone, {4, 5}});
    comm.OpenPort();
    const auto idleNotices = [&] { return port.log.Count(MessageId::MsgSendDataEmpty); };
    ASSERT_TRUE(port.PumpUntil([&] { return port.log.chunks.size() == 1 && idleNotices() == 1; }));
    comm.ClosePort();
    port.sink->PumpPending();

    EXPECT_EQ(port.sink->deliveredChunks, 2u);
    EXPECT_EQ(port.log.chunks, (std::vector<std::vector<std::uint8_t>>{{4, 5}}));
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 0u);
    EXPECT_EQ(idleNotices(), 1u);
}

// The notice that a chunk has begun: once per chunk and before it, as its
// first bytes arrive where the device can tell, else right before the chunk.
TEST_F(CommFakeTest, FirstBytesAreNoticedOncePerChunkBeforeIt) {
    for (const bool early : {true, false}) {
        SCOPED_TRACE(early ? "device tells" : "driver holds the read");
        auto state = std::make_shared<FakeState>();
        state->reportsFirstBytes = early;
        QueuedComm line{FakeOpener(state)};
        EXPECT_FALSE(line.comm.ReportsFirstBytes()); // closed
        line.comm.OpenPort();
        EXPECT_EQ(line.comm.ReportsFirstBytes(), early);
        const auto begun = [&] { return line.log.Count(MessageId::MsgFirstBytes); };
        if (early) {
            state->AddStep({Kind::FirstBytes, {0xAA}});
            ASSERT_TRUE(line.PumpUntil([&] { return begun() == 1; }));
            EXPECT_TRUE(line.log.chunks.empty()); // the read is still gathering
            state->AddStep({Kind::ReadDone, {0x55, 0x94}});
        } else {
            state->AddStep({Kind::ReadDone, {0xAA, 0x55, 0x94}});
        }
        state->AddStep({Kind::ReadDone, {0x01}});
        ASSERT_TRUE(line.PumpUntil([&] { return line.log.chunks.size() == 2; }));
        line.comm.ClosePort();
        line.sink->PumpPending();

        std::vector<Entry> received;
        for (const Entry& entry : line.log.entries) {
            if (entry.id != MessageId::MsgSendDataEmpty) {
                received.push_back(entry);
            }
        }
        const std::vector<Entry> expected{{MessageId::MsgFirstBytes, 0},
                                          {MessageId::MsgReceivedData, 3},
                                          {MessageId::MsgFirstBytes, 0},
                                          {MessageId::MsgReceivedData, 1}};
        EXPECT_EQ(received, expected);
        EXPECT_EQ(line.log.chunks.front(), (std::vector<std::uint8_t>{0xAA, 0x55, 0x94}));
    }
}

struct PurgeCase {
    const char* name;
    FakeState::Step before; // arrives before the purge
};

void PrintTo(const PurgeCase& c, std::ostream* os) {
    *os << c.name;
}

class CommPurgeInputTest : public CommFakeTest, public ::testing::WithParamInterface<PurgeCase> {};

TEST_P(CommPurgeInputTest, BytesFromBeforeThePurgeNeverReachTheHandler) {
    const std::vector<std::uint8_t> reply{0xAA, 0x55, 0x94};
    comm.OpenPort();
    device->AddStep(GetParam().before);
    ASSERT_TRUE(device->WaitFor([&] { return device->steps.empty(); }));
    if (!GetParam().before.gathered) {
        ASSERT_TRUE(port.sink->WaitUntilQueued(GetParam().before.kind == Kind::FirstBytes
                                                   ? MessageId::MsgFirstBytes
                                                   : MessageId::MsgReceivedData));
    }

    comm.PurgeInput();
    device->AddStep({Kind::ReadDone, reply});
    ASSERT_TRUE(port.PumpUntil([&] { return !port.log.chunks.empty(); }));
    comm.ClosePort();
    port.sink->PumpPending();

    EXPECT_EQ(port.log.chunks, (std::vector<std::vector<std::uint8_t>>{reply}));
    // A search takes a notice for a reply begun: only the reply's own may come.
    EXPECT_EQ(port.log.Count(MessageId::MsgFirstBytes), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommPurgeInputTest,
    ::testing::Values(PurgeCase{"HeldByThePendingRead",
                                {Kind::ReadDone, {0xFF, 0x00}, 0, SerialError::None, true}},
                      PurgeCase{"AlreadyPostedAsAChunk", {Kind::ReadDone, {0xFF, 0x00}}},
                      PurgeCase{"NoticedAsBegun", {Kind::FirstBytes, {0xFF}}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(CommFakeTest, DestroyingAnOpenComponentClosesTheDevice) {
    {
        QueuedComm other(FakeOpener(device));
        other.comm.OpenPort();
    }
    EXPECT_EQ(device->opened, 1);
    EXPECT_TRUE(device->WaitFor([&] { return device->closed == 1; }));
}

struct LineEventCase {
    const char* name;
    std::uint32_t events;
    platform::LineErrorResult lineErrors;
    std::vector<Entry> expected;
    bool readerGoesOn;
};

void PrintTo(const LineEventCase& c, std::ostream* os) {
    *os << c.name;
}

class CommLineEventTest : public CommFakeTest,
                          public ::testing::WithParamInterface<LineEventCase> {};

TEST_P(CommLineEventTest, PostsInOrderAndEndsTheReaderOnlyWhenItMust) {
    const LineEventCase& c = GetParam();
    device->lineErrors = c.lineErrors;
    device->AddStep({Kind::LineEvent, {}, c.events});
    device->AddStep({Kind::ReadDone, {0x55}});
    comm.OpenPort();
    if (c.readerGoesOn) {
        ASSERT_TRUE(port.PumpUntil([&] { return !port.log.chunks.empty(); }));
        EXPECT_FALSE(device->PurgedWith(platform::kPurgeRxAbort | platform::kPurgeRxClear));
    } else {
        ASSERT_TRUE(device->ReaderEnded());
        EXPECT_EQ(device->steps.size(), 1u); // the read after the event never ran
    }
    comm.ClosePort();
    port.sink->PumpPending();

    std::vector<Entry> seen;
    for (const Entry& entry : port.log.entries) {
        if (entry.id != MessageId::MsgSendDataEmpty && entry.id != MessageId::MsgReceivedData &&
            entry.id != MessageId::MsgFirstBytes) {
            seen.push_back(entry);
        }
    }
    EXPECT_EQ(seen, c.expected);
}

constexpr platform::LineErrorResult kFramingError{true, platform::kErrorFraming, SerialError::None};
constexpr Entry kHangup{MessageId::MsgRequestHangup, 0};

INSTANTIATE_TEST_SUITE_P(
    Cases, CommLineEventTest,
    ::testing::Values(LineEventCase{"ErrorWithRingPostsTheErrorFirst",
                                    platform::kEventError | platform::kEventRing,
                                    kFramingError,
                                    {{MessageId::MsgReceiveError, platform::kErrorFraming},
                                     {MessageId::MsgModemStateChange, 4}},
                                    true},
                      LineEventCase{"CarrierWithRingIsTwelve",
                                    platform::kEventCarrierDetect | platform::kEventRing,
                                    kFramingError,
                                    {{MessageId::MsgModemStateChange, 12}},
                                    true},
                      LineEventCase{"UnwatchedEventHangsUp", 0x04, kFramingError, {kHangup}, false},
                      LineEventCase{"ErrorFlagsLostWithTheHandleEndQuietly",
                                    platform::kEventError,
                                    {false, 0, SerialError::InvalidHandle},
                                    {},
                                    false},
                      LineEventCase{"ErrorFlagsUnreadableHangUp",
                                    platform::kEventError,
                                    {false, 0, SerialError::DeviceGone},
                                    {kHangup},
                                    false}),
    [](const auto& row) { return std::string(row.param.name); });

struct ReaderEndCase {
    const char* name;
    FakeState::Step step;
    bool eventMaskOk;
    std::size_t hangups;
};

void PrintTo(const ReaderEndCase& c, std::ostream* os) {
    *os << c.name;
}

class CommReaderEndTest : public CommFakeTest,
                          public ::testing::WithParamInterface<ReaderEndCase> {};

TEST_P(CommReaderEndTest, EndsWithAHangupOrQuietlyAsTheErrorRuleSays) {
    const ReaderEndCase& c = GetParam();
    device->eventMaskOk = c.eventMaskOk;
    device->AddStep(c.step);
    comm.OpenPort();
    ASSERT_TRUE(device->ReaderEnded());
    comm.ClosePort();
    port.sink->PumpPending();
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), c.hangups);
    EXPECT_TRUE(port.log.chunks.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommReaderEndTest,
    ::testing::Values(
        ReaderEndCase{
            "InvalidHandleIsQuiet", {Kind::Failed, {}, 0, SerialError::InvalidHandle}, true, 0},
        ReaderEndCase{
            "VanishedDeviceHangsUp", {Kind::Failed, {}, 0, SerialError::DeviceGone}, true, 1},
        ReaderEndCase{"OtherFailureHangsUp", {Kind::Failed, {}, 0, SerialError::Other}, true, 1},
        ReaderEndCase{"EventMaskRefusedHangsUp", {Kind::ReadDone, {1}}, false, 1}),
    [](const auto& row) { return std::string(row.param.name); });

// A read that completes empty is a time-out or a driver whose device left:
// the port is asked which, so that a deaf port never passes for a silent logger.
TEST_F(CommFakeTest, AnEmptyReadFromAPortThatStillAnswersIsReadAgain) {
    device->AddStep({Kind::ReadDone, {}});
    device->AddStep({Kind::ReadDone, {7, 8}});
    comm.OpenPort();
    ASSERT_TRUE(port.PumpUntil([&] { return port.log.chunks.size() == 1; }));
    comm.ClosePort();
    port.sink->PumpPending();
    EXPECT_EQ(port.log.chunks, (std::vector<std::vector<std::uint8_t>>{{7, 8}}));
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 0u);
}

TEST_F(CommFakeTest, AnEmptyReadFromAPortThatNoLongerAnswersHangsUp) {
    device->lineErrors = {false, 0, SerialError::DeviceGone};
    device->AddStep({Kind::ReadDone, {}});
    comm.OpenPort();
    ASSERT_TRUE(device->ReaderEnded());
    comm.ClosePort();
    port.sink->PumpPending();
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 1u);
    EXPECT_TRUE(port.log.chunks.empty());
}

TEST_F(CommFakeTest, ReaderAndWriterFailingTogetherGiveOneHangup) {
    device->writeFailure = SerialError::DeviceGone;
    device->AddStep({Kind::Failed, {}, 0, SerialError::DeviceGone});
    comm.OpenPort();
    const std::uint8_t byte = 1;
    ASSERT_TRUE(comm.SendData(&byte, 1));
    ASSERT_TRUE(device->ReaderEnded());
    ASSERT_TRUE(device->WriterEnded());
    comm.ClosePort();
    port.sink->PumpPending();
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 1u);
}

TEST_F(CommFakeTest, RefusedPostsEndTheReaderAndFreeTheChunk) {
    port.sink->Refuse();
    device->AddStep({Kind::ReadDone, {1, 2, 3}});
    comm.OpenPort();
    EXPECT_TRUE(device->ReaderEnded());
}

TEST_F(CommFakeTest, PartialWritesAreContinuedInOrderThenTheQueueReportsEmpty) {
    device->writeChunk = 3;
    comm.OpenPort();
    const auto idleNotices = [&] { return port.log.Count(MessageId::MsgSendDataEmpty); };
    ASSERT_TRUE(port.PumpUntil([&] { return idleNotices() == 1; })) << "once after the start";
    EXPECT_TRUE(comm.SendQueueEmpty());

    const std::vector<std::uint8_t> first{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    const std::vector<std::uint8_t> second{11, 12};
    ASSERT_TRUE(comm.SendData(first.data(), 10));
    ASSERT_TRUE(comm.SendData(second.data(), 2));
    ASSERT_TRUE(device->WaitFor([&] { return device->written.size() == 12; }));
    ASSERT_TRUE(port.PumpUntil([&] { return idleNotices() >= 2; })) << "again after the writes";
    EXPECT_EQ(device->Written(),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST_F(CommFakeTest, StopDuringAWriteDropsTheRestQuietly) {
    device->blockWritesAfter = 4;
    comm.OpenPort();
    const std::vector<std::uint8_t> bytes(10, 0xA5);
    ASSERT_TRUE(comm.SendData(bytes.data(), 10));
    ASSERT_TRUE(comm.SendData(bytes.data(), 10));
    ASSERT_TRUE(device->WaitFor([&] { return device->written.size() == 4; }));
    comm.ClosePort();
    port.sink->PumpPending();
    EXPECT_EQ(device->Written().size(), 4u);
    EXPECT_EQ(port.log.Count(MessageId::MsgRequestHangup), 0u);
    EXPECT_TRUE(comm.SendQueueEmpty());
}

TEST_F(CommFakeTest, WriteFailuresFollowTheErrorRuleAndRefuseLaterSends) {
    for (const auto& [error, hangups] :
         {std::pair{SerialError::InvalidHandle, 0u}, std::pair{SerialError::Other, 1u}}) {
        SCOPED_TRACE(static_cast<int>(error));
        auto state = std::make_shared<FakeState>();
        state->writeFailure = error;
        QueuedComm failing(FakeOpener(state));
        failing.comm.OpenPort();
        const std::uint8_t byte = 7;
        ASSERT_TRUE(failing.comm.SendData(&byte, 1));
        ASSERT_TRUE(state->WriterEnded());
        failing.sink->PumpPending();
        EXPECT_EQ(failing.log.Count(MessageId::MsgRequestHangup), hangups);
        EXPECT_FALSE(failing.comm.SendData(&byte, 1));
        EXPECT_NE(failing.comm.PortHandle(), 0); // open until the owner closes it
    }
}

} // namespace
} // namespace korvel::serial
