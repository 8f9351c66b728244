#include "protocol/Decimal.h"

#include "protocol/Numbers.h"

namespace korvel::protocol {

namespace {

constexpr std::uint32_t kHundred = 100;
constexpr std::size_t kMaxDecimals = 2;
constexpr char kPoint = '.';

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a run of digits from the front of `text`; false when there is none.
bool takeDigits(std::string_view& text, std::string_view& digits) {
    std::size_t count = 0;
    while (count < text.size() && isDigit(text[count])) {
        ++count;
    }
    digits = text.substr(0, count);
    text.remove_prefix(count);
    return count > 0;
}

} // namespace

Result<Decimal> ParseDecimal(std::string_view text) {
    std::string_view rest = text;
    Decimal number;
    if (!rest.empty() && rest.front() == '-') {
        number.negative = true;
        rest.remove_prefix(1);
    }
    std::string_view integerDigits;
    if (!takeDigits(rest, integerDigits)) {
        return NotANumberFailure(text);
    }
    std::string_view fractionDigits;
    if (!rest.empty() && rest.front() == kPoint) {
        rest.remove_prefix(1);
        if (!takeDigits(rest, fractionDigits)) {
            return NotANumberFailure(text);
        }
    }
    if (!rest.empty()) {
        return NotANumberFailure(text);
    }
    if (fractionDigits.size() > kMaxDecimals) {
        std::string message = "'";
        message.append(text);
        message.append("' has more than two decimals");
        return Failure{Failure::Kind::NotANumber, std::move(message)};
    }

    std::uint32_t integer = 0;
    for (char c : integerDigits) {
        integer = integer * 10 + static_cast<std::uint32_t>(c - '0');
        if (integer > kDecimalTextIntegerMax) {
            return OutOfRangeFailure(text);
        }
    }
    std::uint32_t fraction = 0;
    for (std::size_t i = 0; i < kMaxDecimals; ++i) {
        const char c = i < fractionDigits.size() ? fractionDigits[i] : '0';
        fraction = fraction * 10 + static_cast<std::uint32_t>(c - '0');
    }
    number.hundredths = integer * kHundred + fraction;
    return number;
}

std::string DecimalText(const Decimal& number) {
    std::string text = number.negative ? "-" : "";
    text += std::to_string(number.integerPart());
    const std::uint32_t fraction = number.fractionPart();
    if (fraction != 0) {
        text += kPoint;
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) {
            text += static_cast<char>('0' + fraction % 10);
        }
    }
    return text;
}

} // namespace korvel::protocol
