#pragma once
// Conversions between the texts the window shows and the bytes of the frame:
// decimal triples (sign, integer part, hundredths), packed BCD, plain integers.
// Every failure is a value naming the offending text, never an exception.

#include "Result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel::protocol {

struct DecimalTriple {
    std::uint8_t sign = 0; // 1 for a negative number
    std::uint8_t integer = 0;
    std::uint8_t hundredths = 0; // 0..99 when encoded; a read reply may carry any byte
    friend bool operator==(const DecimalTriple&, const DecimalTriple&) = default;
};

// Integer part limits of the bytes that carry a number.
inline constexpr unsigned kPlainByteMax = 255;
inline constexpr unsigned kPackedBcdMax = 99;

// The failures of the conversions below, one wording each: "'<text>' is not a
// valid number", "'<text>' is not a valid integer value", "'<text>' is out of range".
Failure NotANumberFailure(std::string_view text);
Failure NotAnIntegerFailure(std::string_view text);
Failure OutOfRangeFailure(std::string_view text);

// A decimal number read from text as fixed point with four decimal places.
struct FixedDecimal {
    bool negative = false;
    std::uint64_t tenThousandths = 0; // absolute value x 10000
};

// Reads `text` (surrounding blanks allowed, optional sign, digits with at most one
// decimal character, the full stop or `decimalSeparator`) rounded to the nearest
// ten-thousandth.
// Fails with NotANumber: "'<text>' is not a valid number".
Result<FixedDecimal> DecimalFromText(std::string_view text, char decimalSeparator);

// The triple of a decimal text: third and fourth decimals are dropped, not carried
// (25.057 gives 25 and 5). Fails with NotANumber, or with OutOfRange when the
// integer part exceeds `integerMax`: "'<text>' is out of range".
Result<DecimalTriple> DecimalTripleFromText(std::string_view text, char decimalSeparator,
                                            unsigned integerMax = kPlainByteMax);

// "-" for a non-zero sign, the integer part, the separator, the hundredths byte
// with at least two digits (5 gives "05", 150 gives "150").
std::string DecimalTripleToText(const DecimalTriple& triple, char decimalSeparator);

// Two-digit packed BCD: 25 gives 0x25. Fails with OutOfRange above 99.
Result<std::uint8_t> ToPackedBcd(unsigned value);

// A whole decimal number (optional sign, surrounding blanks allowed), as list
// texts are read. Fails with NotANumber: "'<text>' is not a valid integer value".
Result<long long> IntegerFromText(std::string_view text);

// The integer of `text` when it fits a plain byte (0..255). Fails with NotANumber
// or OutOfRange.
Result<std::uint8_t> ByteFromText(std::string_view text);

} // namespace korvel::protocol
