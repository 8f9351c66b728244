// The simulated logger behind the serial device seam, as --demo reaches it on
// Windows: its replies must be the pseudo-terminal simulator's, byte for byte
// and in time, read under the port's time-outs.
#include "tools/sim/SimulatedDevice.h"

#include "platform/SerialEvent.h"
#include "protocol/Frame.h"
#include "protocol/LoggerLink.h"
#include "tools/sim/DemoLogger.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace korvel::sim {
namespace {

using namespace korvel::protocol;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const Bytes kRead(kReadCommand.begin(), kReadCommand.end());

Bytes SaveCommand(std::uint8_t interval) {
    Block block = DefaultBlock();
    block[offset::kCommand] = command::kSave;
    block[offset::kLogIntervalM] = interval;
    block[offset::kChecksum] = FrameChecksum(block.data(), offset::kChecksum - 1);
    return Bytes(block.begin(), block.end());
}

// Reads as the port component does (a read ends 100 ms after the last byte,
// or 600 ms after its start with none) until `enough` bytes are in or a read
// brings nothing.
Bytes ReadUntilQuiet(platform::SerialDevice& device, const platform::SerialEvent& stop,
                     std::size_t enough = SIZE_MAX) {
    EXPECT_TRUE(device.ApplyTimeouts({100, 0, 600, 0, 0}));
    std::array<std::uint8_t, 512> buffer{};
    Bytes all;
    for (int reads = 0; reads < 20 && all.size() < enough; ++reads) {
        platform::ReadRequest read(buffer);
        platform::InputResult result = device.WaitForInput(read, stop);
        if (result.kind == platform::InputResult::Kind::FirstBytes) {
            result = device.WaitForInput(read, stop); // the same read, carried on
        }
        EXPECT_EQ(result.kind, platform::InputResult::Kind::ReadDone);
        if (result.kind != platform::InputResult::Kind::ReadDone || read.count == 0) {
            break;
        }
        all.insert(all.end(), buffer.begin(), buffer.begin() + read.count);
    }
    return all;
}

void Write(platform::SerialDevice& device, const Bytes& bytes, const platform::SerialEvent& stop) {
    const platform::WriteResult result = device.Write(bytes, stop);
    ASSERT_EQ(result.kind, platform::WriteResult::Kind::Written);
    EXPECT_EQ(result.written, bytes.size());
}

Bytes Joined(const std::vector<ReplyPart>& parts) {
    Bytes all;
    for (const ReplyPart& part : parts) {
        all.insert(all.end(), part.bytes.begin(), part.bytes.end());
    }
    return all;
}

TEST(SimulatedDevice, AnswersAReadInEveryModeAsTheSimulatorShapesIt) {
    const Block block = DefaultBlock();
    const Bytes reply(block.begin(), block.end());
    for (const Mode mode :
         {Mode::Normal, Mode::Silent, Mode::Garbage, Mode::BadChecksum, Mode::Split, Mode::Short}) {
        SCOPED_TRACE(std::string(ModeName(mode)));
        SimulatedLogger::Options options;
        options.mode = mode;
        auto logger = std::make_shared<SimulatedLogger>(options);
        SimulatedDevice device(logger);
        platform::SerialEvent stop;
        Write(device, kRead, stop);
        EXPECT_EQ(ReadUntilQuiet(device, stop), Joined(ShapeReply(mode, reply, 0)));
        EXPECT_EQ(logger->ReadCount(), 1u);
    }
}

TEST(SimulatedDevice, KeepsASaveAndAcknowledgesItAtTheLinePace) {
    SimulatedLogger::Options options;
    options.pace = true;
    auto logger = std::make_shared<SimulatedLogger>(options);
    SimulatedDevice device(logger);
    platform::SerialEvent stop;
    const Bytes save = SaveCommand(30);
    // The tool's writer may hand the frame over in pieces.
    Write(device, Bytes(save.begin(), save.begin() + 100), stop);
    Write(device, Bytes(save.begin() + 100, save.end()), stop);
    EXPECT_EQ(ReadUntilQuiet(device, stop),
              Bytes(kSaveAcknowledgement.begin(), kSaveAcknowledgement.end()));
    EXPECT_EQ(logger->SaveCount(), 1u);

    const auto asked = Clock::now();
    Write(device, kRead, stop);
    const Bytes read = ReadUntilQuiet(device, stop, kFrameSize);
    // 210 bytes at 9600 baud are on the line for about 219 ms.
    EXPECT_GE(Clock::now() - asked, link::kByteTime * (kFrameSize - 4));
    const Block expected = ReadReplyFrom(logger->CurrentBlock());
    ASSERT_EQ(read, Bytes(expected.begin(), expected.end()));
    EXPECT_EQ(read[offset::kLogIntervalM], 30);
}

TEST(SimulatedDevice, DropsAFrameCutOffBySilenceAndPurgedInput) {
    SimulatedLogger::Options options;
    options.frameSilence = 50ms;
    auto logger = std::make_shared<SimulatedLogger>(options);
    SimulatedDevice device(logger);
    platform::SerialEvent stop;
    const Bytes save = SaveCommand(30);
    Write(device, Bytes(save.begin(), save.begin() + 100), stop);
    std::this_thread::sleep_for(120ms);
    Write(device, Bytes(save.begin() + 100, save.end()), stop);
    EXPECT_EQ(ReadUntilQuiet(device, stop), Bytes());
    EXPECT_EQ(logger->SaveCount(), 0u);

    Write(device, kRead, stop);
    ASSERT_TRUE(logger->WaitForReads(1, 2s));
    EXPECT_TRUE(device.Purge(platform::kPurgeRxClear));
    EXPECT_EQ(ReadUntilQuiet(device, stop), Bytes());
}

TEST(SimulatedDevice, StopEndsAWaitWithoutTimeOuts) {
    auto logger = std::make_shared<SimulatedLogger>();
    SimulatedDevice device(logger);
    platform::SerialEvent stop;
    ASSERT_TRUE(device.ApplyTimeouts({}));
    auto waiting = std::async(std::launch::async, [&] {
        std::array<std::uint8_t, 16> buffer{};
        platform::ReadRequest read(buffer);
        return device.WaitForInput(read, stop).kind;
    });
    EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    stop.Set();
    ASSERT_EQ(waiting.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), platform::InputResult::Kind::Stopped);
}

// What --demo opens on this system (an in-process device on Windows, the
// pseudo-terminal on Linux) answers a read; other names go to the opener given.
TEST(DemoLogger, ItsPortAnswersAndOtherNamesGoToTheGivenOpener) {
    DemoLogger demo;
    std::vector<std::string> others;
    const auto open = demo.OpenerWith([&others](const std::string& name) {
        others.push_back(name);
        platform::OpenResult refused;
        refused.error = platform::SerialError::NotFound;
        return refused;
    });
    EXPECT_EQ(open("COM7").error, platform::SerialError::NotFound);
    platform::OpenResult opened = open(demo.PortName());
    if (!opened.device) {
        // Linux: the pseudo-terminal is a real device, opened by the system's opener.
        ASSERT_EQ(others, (std::vector<std::string>{"COM7", demo.PortName()}));
        opened = platform::OpenSerialDevice(demo.PortName());
    } else {
        EXPECT_EQ(others, std::vector<std::string>{"COM7"});
    }
    ASSERT_TRUE(opened.device);
    platform::SerialEvent stop;
    Write(*opened.device, kRead, stop);
    const Block expected = ReadReplyFrom(DefaultBlock());
    EXPECT_EQ(ReadUntilQuiet(*opened.device, stop), Bytes(expected.begin(), expected.end()));
}

} // namespace
} // namespace korvel::sim
