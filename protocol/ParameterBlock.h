#pragma once
// The 210-byte parameter block as one value, and the seven alarm levels it
// carries. SettingsCodec.h turns a block into settings and settings into a block.

#include "protocol/Frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvel::protocol {

using Block = std::array<std::uint8_t, kFrameSize>;

enum class AlarmChoice { None, Single, Multiple };

// The alarm levels in the order their blocks follow each other in the frame.
enum class Threshold { L1, L2, H1, H2, H3, HumidityL1, HumidityH1 };
inline constexpr std::size_t kThresholdCount = 7;

inline constexpr std::size_t Index(Threshold threshold) {
    return static_cast<std::size_t>(threshold);
}

// Frame offset of a level's 7-byte block.
std::size_t ThresholdOffset(Threshold threshold);

// L1 and H1 are always on; the other five can be switched off.
inline constexpr bool IsOptional(Threshold threshold) {
    return threshold != Threshold::L1 && threshold != Threshold::H1;
}

// The name the user's messages give the level, e.g. "Temperature H3".
std::string_view ThresholdName(Threshold threshold);

// The level's key in settings files and their key paths, e.g. "temperature_high_3".
std::string_view ThresholdKey(Threshold threshold);

} // namespace korvel::protocol
