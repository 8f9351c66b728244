#include "history/RowFormat.h"
#include "history/Sha256.h"

namespace korvel::history {

namespace {

enum class Blobs { Raw, Hex };

void AddRow(Sha256& hash, std::string_view header, std::span<const char* const> names,
            std::span<const RowValue> values, Blobs blobs) {
    static const char digits[] = "0123456789abcdef";
    std::string text(header);
    for (std::size_t i = 0; i < values.size() && i < names.size(); ++i) {
        text += names[i];
        text += '=';
        const RowValue& value = values[i];
        if (std::holds_alternative<std::monostate>(value)) {
            text += "null";
        } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
            text += "int:" + std::to_string(*number);
        } else if (const auto* string = std::get_if<std::string>(&value)) {
            text += "text:" + std::to_string(string->size()) + ':' + *string;
        } else {
            const auto& bytes = std::get<RowBlob>(value).bytes;
            text += "blob:" + std::to_string(bytes.size()) + ':';
            for (const std::uint8_t byte : bytes) {
                if (blobs == Blobs::Raw) {
                    text += static_cast<char>(byte);
                } else {
                    text += digits[byte >> 4];
                    text += digits[byte & 0x0f];
                }
            }
        }
        text += '\n';
    }
    hash.Add(text);
}

} // namespace

std::string LocalRowHash(std::string_view previous, std::span<const char* const> names,
                         std::span<const RowValue> values) {
    Sha256 hash;
    hash.Add(previous);
    AddRow(hash, "korvel-history-row/1\n", names, values, Blobs::Raw);
    return HexOf(hash.Finish());
}

std::string SharedRowHash(std::string_view previous, std::span<const char* const> names,
                          std::span<const RowValue> values) {
    Sha256 hash;
    hash.Add(previous);
    AddRow(hash, "\nkorvel-shared-row/1\n", names, values, Blobs::Hex);
    return HexOf(hash.Finish());
}

} // namespace korvel::history
