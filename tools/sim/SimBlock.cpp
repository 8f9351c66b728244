#include "tools/sim/SimBlock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace korvel::sim {
namespace {

using namespace korvel::protocol;

constexpr std::string_view kSerialNumber = "T23110042";
constexpr std::string_view kTripInfo = "Cold chain shipment, keep at 2-8 C";
constexpr std::size_t kHexPairsPerLine = 16;

void PutText(Block& block, std::size_t at, std::string_view text) {
    std::copy(text.begin(), text.end(), block.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutSingleAlarmLevel(Block& block, std::size_t at, std::uint8_t integer) {
    block[at + level::kSign] = 0;
    block[at + level::kInteger] = integer;
    block[at + level::kHundredths] = 0;
    block[at + level::kMode] = 0;
    block[at + level::kDelayHours] = 0;
    block[at + level::kDelayMinutes] = 0;
    block[at + level::kDelaySeconds] = 0;
}

void PutDisabledLevel(Block& block, std::size_t at) {
    std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(at), width::kAlarmLevel,
                level::kDisabled);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f') {
        return lower - 'a' + 10;
    }
    return -1;
}

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

} // namespace

Block DefaultBlock() {
    Block block{};
    PutText(block, offset::kSerialNumber, kSerialNumber);
    block[offset::kLogIntervalH] = 0;
    block[offset::kLogIntervalM] = 15;
    block[offset::kLogIntervalS] = 0;
    block[offset::kStopMode] = value::kStopByButton;
    block[offset::kStartMode] = value::kStartRightNow;
    block[offset::kProbeMode] = 0;       // internal
    block[offset::kTemperatureUnit] = 0; // degrees Celsius
    block[offset::kTimeZoneSign] = 0;    // UTC+
    block[offset::kTimeZoneHours] = 1;
    block[offset::kTimeZoneMinutes] = 0;
    block[offset::kCycleSwitch] = 0; // opened
    block[offset::kTemporaryPdfStartup] = 1;
    block[offset::kPasswordStartup] = 0;
    PutText(block, offset::kTripInfo, kTripInfo);
    block[offset::kAlarmSwitch] = value::kAlarmOn;
    PutSingleAlarmLevel(block, offset::kTemperatureL1, 2);
    PutSingleAlarmLevel(block, offset::kTemperatureH1, 8);
    for (std::size_t at : {offset::kTemperatureL2, offset::kTemperatureH2, offset::kTemperatureH3,
                           offset::kHumidityL1, offset::kHumidityH1}) {
        PutDisabledLevel(block, at);
    }
    return ReadReplyFrom(block);
}

Block ReadReplyFrom(const Block& block) {
    Block reply = block;
    reply[offset::kHeader] = kHeader0;
    reply[offset::kHeader + 1] = kHeader1;
    reply[offset::kCommand] = command::kReadReply;
    reply[offset::kLength] = kSaveLength;
    reply[offset::kChecksum] = FrameChecksum(reply.data(), offset::kChecksum - 1);
    reply[offset::kTrailer] = kTrailer;
    return reply;
}

std::string BlockToHex(const Block& block) {
    std::string text;
    char pair[4];
    for (std::size_t i = 0; i < block.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02X", block[i]);
        text += pair;
        const bool lineEnds = (i + 1) % kHexPairsPerLine == 0 || i + 1 == block.size();
        text += lineEnds ? '\n' : ' ';
    }
    return text;
}

LoadedBlock BlockFromHex(std::string_view text) {
    Block block{};
    std::size_t count = 0;
    std::size_t line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            line += text[i] == '\n' ? 1 : 0;
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsBlank(text[end])) {
            ++end;
        }
        const std::string_view token = text.substr(i, end - i);
        const int high = token.size() == 2 ? HexDigit(token[0]) : -1;
        const int low = token.size() == 2 ? HexDigit(token[1]) : -1;
        if (high < 0 || low < 0) {
            return {std::nullopt, "line " + std::to_string(line) + ": '" + std::string(token) +
                                      "' is not a hex byte pair"};
        }
        if (count < block.size()) {
            block[count] = static_cast<std::uint8_t>(high * 16 + low);
        }
        ++count;
        i = end;
    }
    if (count != block.size()) {
        return {std::nullopt, "expected " + std::to_string(block.size()) + " bytes, found " +
                                  std::to_string(count)};
    }
    return {block, {}};
}

LoadedBlock LoadBlockFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {std::nullopt, path + ": " + std::strerror(errno)};
    }
    std::ostringstream content;
    content << in.rdbuf();
    LoadedBlock loaded = BlockFromHex(content.str());
    if (!loaded.block) {
        loaded.error = path + ": " + loaded.error;
    }
    return loaded;
}

std::string SaveBlockFile(const std::string& path, const Block& block) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            return temporary + ": " + std::strerror(errno);
        }
        out << BlockToHex(block);
        out.flush();
        if (!out) {
            return temporary + ": write failed";
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::string error = path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return error;
    }
    return {};
}

} // namespace korvel::sim
