#include "Frame.h"

namespace korvel::protocol {

namespace {
constexpr std::size_t kFirstSummedByte = offset::kCommand;
} // namespace

std::uint8_t FrameChecksum(const std::uint8_t* bytes, std::size_t last) {
    std::uint8_t sum = 0;
    for (std::size_t i = kFirstSummedByte; i <= last; ++i) {
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    }
    return sum;
}

bool CheckFrame(const std::uint8_t* bytes, std::size_t length) {
    // Longer chunks cannot be one frame: decoding them would mix in stale bytes.
    if (length < kMinFrameSize || length > kFrameSize) {
        return false;
    }
    if (bytes[0] != kHeader0 || bytes[1] != kHeader1 || bytes[length - 1] != kTrailer) {
        return false;
    }
    // For a 4-byte frame the sum covers no byte and is 0.
    return bytes[length - 2] == FrameChecksum(bytes, length - 3);
}

} // namespace korvel::protocol
