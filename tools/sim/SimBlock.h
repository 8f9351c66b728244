#pragma once
// The parameter block the simulated logger keeps, its plausible factory default,
// and its text form: whitespace-separated hexadecimal byte pairs.

#include "protocol/Frame.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel::sim {

// A whole 210-byte parameter frame. Envelope bytes (header, command, length,
// checksum, trailer) are whatever was last stored; replies set them afresh.
using Block = std::array<std::uint8_t, protocol::kFrameSize>;

// A logger as it leaves the factory: serial "T23110042", 15-minute interval, stop by
// button, start right now, internal probe, degrees Celsius, UTC+01:00, single alarm
// 2.00 to 8.00, temporary PDF on, trip text "Cold chain shipment, keep at 2-8 C".
// Fields a save leaves alone when unused (start time, password) are zero, so a
// read followed by a save gives the same bytes back. Returned as a valid read reply.
Block DefaultBlock();

// `block` as a read reply: command 0x94, length 0xCC, checksum and trailer fixed up.
Block ReadReplyFrom(const Block& block);

// 16 upper-case hex pairs per line, newline after each line.
std::string BlockToHex(const Block& block);

struct LoadedBlock {
    std::optional<Block> block; // set on success
    std::string error;          // set on failure: what is wrong and where
};

// Any whitespace-separated two-digit hex pairs, exactly 210 of them.
LoadedBlock BlockFromHex(std::string_view text);

// Reads a hex file; errors name the file.
LoadedBlock LoadBlockFile(const std::string& path);

// Writes a hex file through a temporary file and a rename, so a reader never
// sees half a block. Returns an empty string on success, else the error.
std::string SaveBlockFile(const std::string& path, const Block& block);

} // namespace korvel::sim
