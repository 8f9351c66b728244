#include "tools/sim/SimBlock.h"
#include "protocol/Frame.h"
#include "tools/sim/FrameAssembler.h"
#include "tools/sim/LoggerSimulator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace korvel::sim {
namespace {

using namespace korvel::protocol;
using Bytes = std::vector<std::uint8_t>;

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

const Bytes kRead(kReadCommand.begin(), kReadCommand.end());

Bytes SaveCommand() {
    Block block = DefaultBlock();
    block[offset::kCommand] = command::kSave;
    block[offset::kChecksum] = FrameChecksum(block.data(), offset::kChecksum - 1);
    return Bytes(block.begin(), block.end());
}

Bytes WithByte(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes[at] = value;
    return bytes;
}

TEST(DefaultBlock, IsAPlausibleLogger) {
    const Block block = DefaultBlock();
    EXPECT_TRUE(CheckFrame(block.data(), block.size()));
    EXPECT_EQ(block[offset::kCommand], command::kReadReply);
    EXPECT_EQ(std::string(block.begin() + offset::kSerialNumber,
                          block.begin() + offset::kSerialNumber + width::kSerialNumber),
              "T23110042");
    EXPECT_EQ(block[offset::kLogIntervalM], 15);
    EXPECT_EQ(block[offset::kTimeZoneHours], 1);
    // The trip text is zero-terminated inside its field.
    const char* trip = reinterpret_cast<const char*>(block.data() + offset::kTripInfo);
    EXPECT_STREQ(trip, "Cold chain shipment, keep at 2-8 C");
    EXPECT_EQ(block[offset::kAlarmSwitch], value::kAlarmOn);
    EXPECT_EQ(block[offset::kTemperatureL1 + level::kInteger], 2);
    EXPECT_EQ(block[offset::kTemperatureH1 + level::kInteger], 8);
    for (std::size_t off : {offset::kTemperatureL2, offset::kTemperatureH2, offset::kTemperatureH3,
                            offset::kHumidityL1, offset::kHumidityH1}) {
        for (std::size_t i = 0; i < width::kAlarmLevel; ++i) {
            EXPECT_EQ(block[off + i], level::kDisabled) << "level at " << off;
        }
    }
}

TEST(ReadReplyFrom, RebuildsTheEnvelopeOfASavedBlock) {
    const Bytes save = SaveCommand();
    Block saved{};
    std::copy(save.begin(), save.end(), saved.begin());
    saved[offset::kTripInfo] = 'X';
    const Block reply = ReadReplyFrom(saved);
    EXPECT_TRUE(CheckFrame(reply.data(), reply.size()));
    EXPECT_EQ(reply[offset::kCommand], command::kReadReply);
    EXPECT_EQ(reply[offset::kTripInfo], 'X');
}

TEST(BlockHex, RoundTripsSixteenPairsALine) {
    const Block block = DefaultBlock();
    const std::string text = BlockToHex(block);
    EXPECT_EQ(text.substr(0, 48), "AA 55 94 CC 54 32 33 31 31 30 30 34 32 00 00 00\n");
    const LoadedBlock loaded = BlockFromHex(text);
    ASSERT_TRUE(loaded.block) << loaded.error;
    EXPECT_EQ(*loaded.block, block);
}

TEST(BlockHex, AcceptsAnyWhitespaceAndCase) {
    std::string text;
    for (std::size_t i = 0; i < kFrameSize; ++i) {
        text += i % 3 == 0 ? "\tab\r\n" : " Fe  ";
    }
    const LoadedBlock loaded = BlockFromHex(text);
    ASSERT_TRUE(loaded.block) << loaded.error;
    EXPECT_EQ((*loaded.block)[0], 0xAB);
    EXPECT_EQ((*loaded.block)[1], 0xFE);
}

struct BadHexCase {
    const char* name;
    std::string text;
    const char* error;
};

void PrintTo(const BadHexCase& c, std::ostream* os) {
    *os << c.name;
}

std::string Pairs(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += "00 ";
    }
    return text;
}

const BadHexCase kBadHex[] = {
    {"TooFew", Pairs(209), "expected 210 bytes, found 209"},
    {"TooMany", Pairs(211), "expected 210 bytes, found 211"},
    {"Empty", "", "expected 210 bytes, found 0"},
    {"NotHex", "00\n00 G1 " + Pairs(208), "line 2: 'G1' is not a hex byte pair"},
    {"RunTogether", "AA55 " + Pairs(208), "line 1: 'AA55' is not a hex byte pair"},
    {"SingleDigit", Pairs(209) + "A", "line 1: 'A' is not a hex byte pair"},
};

class BadHexTest : public testing::TestWithParam<BadHexCase> {};

TEST_P(BadHexTest, IsRefusedWithItsReason) {
    const LoadedBlock loaded = BlockFromHex(GetParam().text);
    EXPECT_FALSE(loaded.block);
    EXPECT_EQ(loaded.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Texts, BadHexTest, testing::ValuesIn(kBadHex),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(BlockFile, SavesAndLoadsAndNamesTheFileInErrors) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("korvel-sim-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "block.hex").string();

    EXPECT_EQ(SaveBlockFile(path, DefaultBlock()), "");
    const LoadedBlock loaded = LoadBlockFile(path);
    ASSERT_TRUE(loaded.block) << loaded.error;
    EXPECT_EQ(*loaded.block, DefaultBlock());
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    const LoadedBlock missing = LoadBlockFile((dir / "missing.hex").string());
    EXPECT_FALSE(missing.block);
    EXPECT_NE(missing.error.find("missing.hex"), std::string::npos);
    EXPECT_NE(SaveBlockFile((dir / "no-dir" / "x.hex").string(), DefaultBlock()), "");
    std::filesystem::remove_all(dir);
}

struct AssemblyCase {
    const char* name;
    std::vector<Bytes> feeds;
    std::vector<Bytes> frames;
    bool partialLeft;
};

void PrintTo(const AssemblyCase& c, std::ostream* os) {
    *os << c.name;
}

const Bytes kSave = SaveCommand();

const AssemblyCase kAssembly[] = {
    {"ReadCommand", {kRead}, {kRead}, false},
    {"GarbageBefore", {Concat({{0x00, 0xAA, 0x13, 0x55}, kRead})}, {kRead}, false},
    {"ByteByByte", {{0xAA}, {0x55}, {0x14}, {0x01, 0x11}, {0x26}, {0xAA}}, {kRead}, false},
    {"TwoInOneChunk", {Concat({kRead, kSave})}, {kRead, kSave}, false},
    {"SaveInPieces",
     {Bytes(kSave.begin(), kSave.begin() + 100), Bytes(kSave.begin() + 100, kSave.end())},
     {kSave},
     false},
    {"SaveWithBadChecksumThenRead",
     {Concat({WithByte(kSave, offset::kChecksum, 0x00), kRead})},
     {kRead},
     false},
    {"UnknownCommandSkipped",
     {Concat({{0xAA, 0x55, 0x15, 0x00, 0x15, 0xAA}, kRead})},
     {kRead},
     false},
    {"ReadWithBadChecksum", {WithByte(kRead, 5, 0x27)}, {}, true}, // its trailer may begin a frame
    {"UnfinishedSave", {Bytes(kSave.begin(), kSave.begin() + 50)}, {}, true},
    {"TrailingHeaderByteKept", {Concat({kRead, {0xAA}})}, {kRead}, true},
};

class AssemblyTest : public testing::TestWithParam<AssemblyCase> {};

TEST_P(AssemblyTest, FindsTheCommands) {
    FrameAssembler assembler;
    std::vector<Bytes> frames;
    for (const Bytes& feed : GetParam().feeds) {
        for (auto& frame : assembler.Feed(feed.data(), feed.size())) {
            frames.push_back(std::move(frame));
        }
    }
    EXPECT_EQ(frames, GetParam().frames);
    EXPECT_EQ(assembler.HasPartial(), GetParam().partialLeft);
}

INSTANTIATE_TEST_SUITE_P(Feeds, AssemblyTest, testing::ValuesIn(kAssembly),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(FrameAssembler, DroppedPartialDoesNotSwallowTheNextCommand) {
    FrameAssembler assembler;
    assembler.Feed(kSave.data(), 150);
    assembler.DropPartial();
    EXPECT_EQ(assembler.Feed(kRead.data(), kRead.size()), std::vector<Bytes>{kRead});
}

TEST(ShapeReply, EachModeShapesTheReply) {
    const Block block = DefaultBlock();
    const Bytes reply(block.begin(), block.end());

    const auto normal = ShapeReply(Mode::Normal, reply);
    ASSERT_EQ(normal.size(), 1u);
    EXPECT_EQ(normal[0].bytes, reply);

    EXPECT_TRUE(ShapeReply(Mode::Silent, reply).empty());

    for (std::uint32_t seed : {0u, 1u, 2u, 3u}) {
        const auto garbage = ShapeReply(Mode::Garbage, reply, seed);
        ASSERT_EQ(garbage.size(), 1u);
        EXPECT_EQ(garbage[0].bytes.size(), reply.size());
        EXPECT_NE(garbage[0].bytes.front(), kHeader0);
    }

    const auto bad = ShapeReply(Mode::BadChecksum, reply);
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_FALSE(CheckFrame(bad[0].bytes.data(), bad[0].bytes.size()));
    EXPECT_EQ(bad[0].bytes[offset::kCommand], command::kReadReply);

    const auto split = ShapeReply(Mode::Split, reply);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[1].pauseBefore, kSplitPause);
    EXPECT_EQ(Concat({split[0].bytes, split[1].bytes}), reply);
    EXPECT_FALSE(split[0].bytes.empty());

    const auto shortReply = ShapeReply(Mode::Short, reply);
    ASSERT_EQ(shortReply.size(), 1u);
    EXPECT_EQ(shortReply[0].bytes, Bytes(reply.begin(), reply.begin() + kShortReplySize));
    const Bytes ack(kSaveAcknowledgement.begin(), kSaveAcknowledgement.end());
    EXPECT_EQ(ShapeReply(Mode::Short, ack)[0].bytes.size(), 3u);
}

TEST(ModeNames, RoundTrip) {
    for (Mode mode :
         {Mode::Normal, Mode::Silent, Mode::Garbage, Mode::BadChecksum, Mode::Split, Mode::Short}) {
        EXPECT_EQ(ModeFromName(ModeName(mode)), mode);
    }
    EXPECT_EQ(ModeName(Mode::BadChecksum), "bad-checksum");
    EXPECT_FALSE(ModeFromName("loud"));
}

} // namespace
} // namespace korvel::sim
