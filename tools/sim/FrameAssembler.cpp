#include "tools/sim/FrameAssembler.h"

#include "protocol/Frame.h"

#include <algorithm>

namespace korvel::sim {
namespace {

using namespace korvel::protocol;

// Size of the frame a command byte announces, 0 for commands a logger ignores.
std::size_t ExpectedSize(std::uint8_t command) {
    switch (command) {
    case command::kRead:
        return frame_size::kRead;
    case command::kSave:
        return frame_size::kSave;
    default:
        return 0;
    }
}

} // namespace

std::vector<FrameAssembler::Frame> FrameAssembler::Feed(const std::uint8_t* bytes,
                                                        std::size_t count) {
    pending_.insert(pending_.end(), bytes, bytes + count);
    std::vector<Frame> frames;
    std::size_t start = 0;
    while (start < pending_.size()) {
        const std::size_t available = pending_.size() - start;
        const std::uint8_t* at = pending_.data() + start;
        if (at[0] != kHeader0 || (available > 1 && at[1] != kHeader1)) {
            ++start;
            continue;
        }
        if (available <= offset::kCommand) {
            break;
        }
        const std::size_t size = ExpectedSize(at[offset::kCommand]);
        if (size == 0) {
            ++start;
            continue;
        }
        if (available < size) {
            break;
        }
        if (CheckFrame(at, size)) {
            frames.emplace_back(at, at + size);
            start += size;
        } else {
            // A header inside a broken frame may begin the next good one.
            ++start;
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start));
    return frames;
}

} // namespace korvel::sim
