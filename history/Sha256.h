#pragma once
// SHA-256 (FIPS 180-4), for the history's hash chain and for fingerprints of
// settings files. Plain C++ with no library behind it, so every build has it.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvel::history {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Incremental: Add any number of times, then Finish once.
class Sha256 {
public:
    Sha256();
    void Add(const void* data, std::size_t size);
    void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }
    Sha256Digest Finish();

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0; // bytes added
};

Sha256Digest Sha256Of(std::string_view bytes);
// 64 lower-case hex digits.
std::string HexOf(const Sha256Digest& digest);
std::string Sha256Hex(std::string_view bytes);

} // namespace korvel::history
