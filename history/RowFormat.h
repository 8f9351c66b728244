#pragma once
// The two texts a row's hash is taken over (docs/manual.md, "The row
// formats"): a row of a bench's history file, and a row of the shared
// history's server. Each column is written with its name, its kind and its
// length, so that no two different rows read the same; the server's
// korvel.local_row_hash and korvel.row_hash write the same texts.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace korvel::history {

struct RowBlob {
    std::vector<std::uint8_t> bytes;
};
// A column's value: null, a number, UTF-8 text or bytes.
using RowValue = std::variant<std::monostate, std::int64_t, std::string, RowBlob>;

// A row of a bench's history file: its id and every column of the save, blobs
// as raw bytes.
std::string LocalRowHash(std::string_view previous, std::span<const char* const> names,
                         std::span<const RowValue> values);
// A row of the server's chain: every column but its hash, blobs as hex.
std::string SharedRowHash(std::string_view previous, std::span<const char* const> names,
                          std::span<const RowValue> values);

// The hash that comes before the first row of a chain.
inline const std::string kFirstPreviousHash(64, '0');

} // namespace korvel::history
