#include "protocol/Frame.h"
#include "protocol/LoggerLink.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace korvel::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct FrameCase {
    const char* name;
    Bytes frame;
    bool wellFormed;
};

void PrintTo(const FrameCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes readCommandWith(std::size_t at, std::uint8_t value) {
    Bytes frame(kReadCommand.begin(), kReadCommand.end());
    frame[at] = value;
    return frame;
}

const FrameCase kFrameCases[] = {
    {"ReadCommand", Bytes(kReadCommand.begin(), kReadCommand.end()), true},
    {"CommandChanged", readCommandWith(2, 0x15), false},
    {"LengthChanged", readCommandWith(3, 0x02), false},
    {"PayloadChanged", readCommandWith(4, 0x12), false},
    {"FourBytesNoPayload", {0xAA, 0x55, 0x00, 0xAA}, true},
    {"LastByteNotTrailer", {0xAA, 0x55, 0x14, 0x01, 0x11, 0x26, 0xAB}, false},
    {"FirstHeaderWrong", {0xAB, 0x55, 0x14, 0x01, 0x11, 0x26, 0xAA}, false},
    {"SecondHeaderWrong", {0xAA, 0x56, 0x14, 0x01, 0x11, 0x26, 0xAA}, false},
    {"ThreeBytes", {0xAA, 0x55, 0xAA}, false},
    {"OneByte", {0xAA}, false},
    {"Empty", {}, false},
    {"AckWithBadChecksum", {0xAA, 0x55, 0x15, 0x00, 0x16, 0xAA}, false},
    {"AckWithGoodChecksum", {0xAA, 0x55, 0x15, 0x00, 0x15, 0xAA}, true},
    {"SaveAcknowledgement", Bytes(kSaveAcknowledgement.begin(), kSaveAcknowledgement.end()), true},
};

class CheckFrameTest : public testing::TestWithParam<FrameCase> {};

TEST_P(CheckFrameTest, JudgesTheEnvelope) {
    const FrameCase& c = GetParam();
    EXPECT_EQ(CheckFrame(c.frame.data(), c.frame.size()), c.wellFormed);
}

INSTANTIATE_TEST_SUITE_P(Frames, CheckFrameTest, testing::ValuesIn(kFrameCases),
                         [](const auto& row) { return std::string(row.param.name); });

Bytes validParameterFrame(std::uint8_t command) {
    Bytes frame(kFrameSize, 0);
    frame[0] = kHeader0;
    frame[1] = kHeader1;
    frame[offset::kCommand] = command;
    frame[offset::kLength] = kSaveLength;
    for (std::size_t i = offset::kSerialNumber; i < offset::kChecksum; ++i) {
        frame[i] = static_cast<std::uint8_t>(i * 7);
    }
    frame[offset::kChecksum] = FrameChecksum(frame.data(), offset::kChecksum - 1);
    frame[offset::kTrailer] = kTrailer;
    return frame;
}

TEST(CheckFrame, AcceptsAFullParameterFrameAndRejectsOneByteTooMany) {
    Bytes frame = validParameterFrame(command::kReadReply);
    EXPECT_TRUE(CheckFrame(frame.data(), frame.size()));

    // 211 bytes whose last three still look like checksum and trailer.
    Bytes longer = frame;
    longer.insert(longer.begin() + offset::kSerialNumber, 0x00);
    ASSERT_EQ(longer.size(), kFrameSize + 1);
    EXPECT_FALSE(CheckFrame(longer.data(), longer.size()));
}

TEST(FrameChecksum, KeepsTheLowEightBitsOfTheSum) {
    EXPECT_EQ(FrameChecksum(kReadCommand.data(), 4), 0x26);

    // Bytes 2..207 adding up to 0x1FF give 0xFF.
    Bytes frame(kFrameSize, 0);
    frame[offset::kCommand] = command::kSave; // 0x95
    frame[offset::kLength] = kSaveLength;     // 0xCC  -> 0x161
    frame[offset::kSerialNumber] = 0x9E;      //       -> 0x1FF
    ASSERT_EQ(std::accumulate(frame.begin() + 2, frame.begin() + 208, 0), 0x1FF);
    EXPECT_EQ(FrameChecksum(frame.data(), 207), 0xFF);
}

TEST(FrameLayout, AlarmLevelsTileTheirSpan) {
    const std::size_t levels[] = {offset::kTemperatureL1, offset::kTemperatureL2,
                                  offset::kTemperatureH1, offset::kTemperatureH2,
                                  offset::kTemperatureH3, offset::kHumidityL1,
                                  offset::kHumidityH1,    offset::kChecksum};
    for (std::size_t i = 1; i < std::size(levels); ++i) {
        EXPECT_EQ(levels[i] - levels[i - 1], width::kAlarmLevel) << i;
    }
    EXPECT_EQ(offset::kTripInfo + width::kTripInfo, offset::kAlarmSwitch);
    EXPECT_EQ(offset::kPassword + width::kPassword, offset::kSystemYear);
}

TEST(LoggerLink, ByteTimeIsTenBitTimesAtTheLineSpeed) {
    using namespace std::chrono_literals;
    EXPECT_EQ(link::kBitsPerByte, 10u);
    EXPECT_EQ(link::kByteTime, 1'041'667ns);
}

} // namespace
} // namespace korvel::protocol
