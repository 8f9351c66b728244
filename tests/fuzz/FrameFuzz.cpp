// One received chunk of 1 to 2048 bytes taken the way the window takes it:
// refused when longer than the receive buffer, else copied into a 210-byte
// buffer, checked as a frame and, as a read reply, decoded. The buffer is a
// heap block of exactly 210 bytes, so any read past it is caught.
#include "protocol/Frame.h"
#include "protocol/SettingsCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

namespace protocol = korvel::protocol;

constexpr std::size_t kLargestChunk = 2048;

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// What the window relies on from any decoded block, whatever its bytes.
void CheckDecoded(const protocol::Block& block) {
    const protocol::LoggerSettings settings = protocol::DecodeSettings(block);
    Require(settings.serialNumber.size() == protocol::width::kSerialNumber, "serial number width");
    Require(settings.tripInformation.size() <= protocol::width::kTripInfo, "trip info width");
    Require(settings.tripInformation.find('\0') == std::string::npos, "trip info stops at a zero");
    const std::optional<std::string>* password = settings.password.get();
    Require(!password || !*password || (*password)->size() == protocol::width::kPassword,
            "password width");
    Require(EncodeSaveFrame(settings, block, {}) == EncodeSaveFrame(settings, block, {}),
            "encoding is pure");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > kLargestChunk) {
        return 0;
    }
    if (size > protocol::kFrameSize) {
        // No frame of this protocol is longer; the window refuses such a chunk whole.
        Require(!protocol::CheckFrame(data, size), "a chunk longer than a block passes");
        return 0;
    }
    auto buffer = std::make_unique<std::uint8_t[]>(protocol::kFrameSize);
    std::copy_n(data, size, buffer.get());

    const bool wellFormed = protocol::CheckFrame(buffer.get(), size);
    Require(!wellFormed || size >= protocol::kMinFrameSize, "frame shorter than its envelope");

    protocol::Block block{};
    std::copy_n(buffer.get(), protocol::kFrameSize, block.begin());
    // Decoding must hold up for any byte pattern, not only for frames that pass.
    CheckDecoded(block);
    return 0;
}
