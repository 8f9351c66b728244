#include "Numbers.h"

#include <cctype>

namespace korvel::protocol {

namespace {

constexpr std::uint64_t kScale = 10000; // four decimal places
constexpr std::uint64_t kHundredthScale = 100;
// Far above any byte; stops digit accumulation before it can overflow.
constexpr std::uint64_t kIntegerCeiling = 1'000'000'000'000ULL;

// Built by appending: GCC 12 warns falsely (-Wrestrict) about "'" + std::string.
std::string quotedText(std::string_view text, std::string_view rest) {
    std::string message;
    message.reserve(text.size() + rest.size() + 2);
    message += '\'';
    message.append(text);
    message += '\'';
    message.append(rest);
    return message;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Takes a leading '+' or '-' off `text`; returns true for '-'.
bool takeSign(std::string_view& text) {
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        const bool negative = text.front() == '-';
        text.remove_prefix(1);
        return negative;
    }
    return false;
}

} // namespace

Failure NotANumberFailure(std::string_view text) {
    return {Failure::Kind::NotANumber, quotedText(text, " is not a valid number")};
}

Failure NotAnIntegerFailure(std::string_view text) {
    return {Failure::Kind::NotANumber, quotedText(text, " is not a valid integer value")};
}

Failure OutOfRangeFailure(std::string_view text) {
    return {Failure::Kind::OutOfRange, quotedText(text, " is out of range")};
}

Result<FixedDecimal> DecimalFromText(std::string_view text, char decimalSeparator) {
    std::string_view rest = trimBlanks(text);
    FixedDecimal number;
    number.negative = takeSign(rest);

    std::uint64_t integer = 0;
    // The first five decimals; the fifth only rounds, later ones cannot change the result.
    std::uint64_t fraction = 0;
    int fractionDigits = 0;
    bool sawDigit = false;
    bool sawSeparator = false;
    for (char c : rest) {
        // The window's filters let the full stop through beside the locale's separator.
        if ((c == decimalSeparator || c == '.') && !sawSeparator) {
            sawSeparator = true;
        } else if (!isDigit(c)) {
            return NotANumberFailure(text);
        } else if (!sawSeparator) {
            sawDigit = true;
            if (integer >= kIntegerCeiling) {
                return OutOfRangeFailure(text);
            }
            integer = integer * 10 + static_cast<unsigned>(c - '0');
        } else {
            sawDigit = true;
            if (fractionDigits < 5) {
                fraction = fraction * 10 + static_cast<unsigned>(c - '0');
                ++fractionDigits;
            }
        }
    }
    if (!sawDigit) {
        return NotANumberFailure(text);
    }
    while (fractionDigits < 5) {
        fraction *= 10;
        ++fractionDigits;
    }
    // Nearest ten-thousandth, halves away from zero.
    std::uint64_t tenThousandths = fraction / 10;
    const std::uint64_t fifth = fraction % 10;
    if (fifth >= 5) {
        ++tenThousandths;
    }
    number.tenThousandths = integer * kScale + tenThousandths;
    return number;
}

Result<DecimalTriple> DecimalTripleFromText(std::string_view text, char decimalSeparator,
                                            unsigned integerMax) {
    const Result<FixedDecimal> number = DecimalFromText(text, decimalSeparator);
    if (!number) {
        return number.failure();
    }
    const std::uint64_t integer = number->tenThousandths / kScale;
    if (integer > integerMax) {
        return OutOfRangeFailure(text);
    }
    DecimalTriple triple;
    triple.sign = number->negative && number->tenThousandths != 0 ? 1 : 0;
    triple.integer = static_cast<std::uint8_t>(integer);
    triple.hundredths =
        static_cast<std::uint8_t>(number->tenThousandths % kScale / kHundredthScale);
    return triple;
}

std::string DecimalTripleToText(const DecimalTriple& triple, char decimalSeparator) {
    std::string text = triple.sign != 0 ? "-" : "";
    text += std::to_string(triple.integer);
    text += decimalSeparator;
    // A read reply's hundredths byte is not bounded to 99; every digit is shown.
    if (triple.hundredths < 10) {
        text += '0';
    }
    text += std::to_string(triple.hundredths);
    return text;
}

Result<std::uint8_t> ToPackedBcd(unsigned value) {
    if (value > kPackedBcdMax) {
        return OutOfRangeFailure(std::to_string(value));
    }
    return static_cast<std::uint8_t>((value / 10) << 4 | (value % 10));
}

Result<long long> IntegerFromText(std::string_view text) {
    std::string_view rest = trimBlanks(text);
    const bool negative = takeSign(rest);
    if (rest.empty()) {
        return NotAnIntegerFailure(text);
    }
    long long value = 0;
    for (char c : rest) {
        if (!isDigit(c) || value >= static_cast<long long>(kIntegerCeiling)) {
            return NotAnIntegerFailure(text);
        }
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

Result<std::uint8_t> ByteFromText(std::string_view text) {
    const Result<long long> number = IntegerFromText(text);
    if (!number) {
        return number.failure();
    }
    if (*number < 0 || *number > static_cast<long long>(kPlainByteMax)) {
        return OutOfRangeFailure(text);
    }
    return static_cast<std::uint8_t>(*number);
}

} // namespace korvel::protocol
