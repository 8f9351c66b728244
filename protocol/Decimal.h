#pragma once
// A calibration or alarm limit as a value: its size in hundredths with the sign
// kept apart, so that "-0.00" stays negative as it was typed or read. Read from
// text without binary floating point, so 1.15 is 115 hundredths, never 114.

#include "protocol/Result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel::protocol {

struct Decimal {
    bool negative = false;
    std::uint32_t hundredths = 0; // the absolute value x 100

    std::uint32_t integerPart() const { return hundredths / 100; }
    std::uint32_t fractionPart() const { return hundredths % 100; } // 0..99
    friend bool operator==(const Decimal&, const Decimal&) = default;
};

// Integer parts above this are refused as text; no byte of the frame comes near.
inline constexpr std::uint32_t kDecimalTextIntegerMax = 999'999;

// Reads an optional minus sign, digits, and at most two decimals after a full
// stop: "-1.5", "0.29", "-0.00", "300". No blanks, no plus sign, no exponent.
// Fails with NotANumber ("'1.5x' is not a valid number", "'1.234' has more than
// two decimals") or OutOfRange above kDecimalTextIntegerMax.
Result<Decimal> ParseDecimal(std::string_view text);

// The shortest text ParseDecimal reads back as the same value: "300", "25.5",
// "1.15", "-0".
std::string DecimalText(const Decimal& number);

} // namespace korvel::protocol
