// The decimal-triple parser on arbitrary text and separators. Byte 0 picks the
// separator, bit 0 of byte 1 the integer ceiling (plain byte or packed BCD),
// the rest is the text. Any accepted text must give a triple that is in range
// and that its own text form reads back as.
#include "protocol/Numbers.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using korvel::protocol::DecimalTriple;
using korvel::protocol::DecimalTripleFromText;
using korvel::protocol::DecimalTripleToText;

[[noreturn]] void Fail(const char* what, std::string_view text, char separator) {
    std::fprintf(stderr, "%s: text '%.*s', separator 0x%02x\n", what, static_cast<int>(text.size()),
                 text.data(), static_cast<unsigned>(static_cast<unsigned char>(separator)));
    std::abort();
}

// A separator that could also be read as part of the number makes the text
// form ambiguous; locales never use one.
bool Unambiguous(char separator) {
    return !(separator >= '0' && separator <= '9') && separator != '-' && separator != '+' &&
           separator != ' ' && separator != '\t';
}

void CheckRoundTrip(const DecimalTriple& triple, std::string_view text, char separator,
                    unsigned integerMax) {
    const std::string shown = DecimalTripleToText(triple, separator);
    const auto again = DecimalTripleFromText(shown, separator, integerMax);
    if (!again) {
        Fail("text form of an accepted triple is refused", text, separator);
    }
    // A value between -0.01 and 0 keeps its sign but has no magnitude left, and
    // "-0.00" reads back as plain zero; the magnitude must still agree.
    const bool negativeZero = triple.sign == 1 && triple.integer == 0 && triple.hundredths == 0;
    DecimalTriple expected = triple;
    if (negativeZero) {
        expected.sign = 0;
    }
    if (!(*again == expected)) {
        Fail("text form reads back as another triple", text, separator);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const char separator = static_cast<char>(data[0]);
    const unsigned integerMax =
        (data[1] & 1) != 0 ? korvel::protocol::kPackedBcdMax : korvel::protocol::kPlainByteMax;
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);

    const auto triple = DecimalTripleFromText(text, separator, integerMax);
    if (!triple) {
        if (triple.failure().message.find(text) == std::string::npos) {
            Fail("failure message does not quote the text", text, separator);
        }
        return 0;
    }
    if (triple->sign > 1 || triple->hundredths > 99 || triple->integer > integerMax) {
        Fail("triple out of range", text, separator);
    }
    if (Unambiguous(separator)) {
        CheckRoundTrip(*triple, text, separator, integerMax);
    }
    return 0;
}
