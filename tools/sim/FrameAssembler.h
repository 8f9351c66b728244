#pragma once
// Collects the bytes the tool writes into the two commands a logger understands:
// the 7-byte read command and the 210-byte save command. Bytes before a header,
// frames of other commands and frames that fail the check are skipped.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel::sim {

class FrameAssembler {
public:
    using Frame = std::vector<std::uint8_t>;

    // Appends `count` bytes and returns every complete command now found, in order.
    std::vector<Frame> Feed(const std::uint8_t* bytes, std::size_t count);

    // True while bytes of an unfinished frame are held.
    bool HasPartial() const { return !pending_.empty(); }

    // Forgets an unfinished frame (the caller does this after a silence).
    void DropPartial() { pending_.clear(); }

private:
    std::vector<std::uint8_t> pending_;
};

} // namespace korvel::sim
