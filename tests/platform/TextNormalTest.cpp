// NFC on each system: ICU on Linux, NormalizeString on Windows (under Wine).
#include "platform/TextNormal.h"

#include <gtest/gtest.h>

#include <string>

namespace korvel::platform {
namespace {

TEST(TextNormal, ComposesAsNfcAndLeavesWhatItCannotReadAlone) {
    const struct {
        const char* name;
        std::string text;
        std::string composed;
    } cases[] = {
        {"ASCII", "T2311 route 7", "T2311 route 7"},
        {"empty", "", ""},
        {"e and a combining acute", "Cafe\xCC\x81", "Caf\xC3\xA9"},
        {"already composed", "Caf\xC3\xA9", "Caf\xC3\xA9"},
        {"two marks in canonical order", "a\xCC\xA3\xCC\x82", "\xE1\xBA\xAD"}, // ậ
        {"two marks out of order", "a\xCC\x82\xCC\xA3", "\xE1\xBA\xAD"},
        {"a mark with no composed form stays", "q\xCC\x81", "q\xCC\x81"},
        {"Angstrom sign", "\xE2\x84\xAB", "\xC3\x85"},
        {"Hangul jamo", "\xE1\x84\x80\xE1\x85\xA1", "\xEA\xB0\x80"},
        {"beyond the BMP stays", "\xF0\x9F\x8C\xA1", "\xF0\x9F\x8C\xA1"},
        // Not UTF-8: given back as it is, for the caller's own check to name.
        {"Latin-1 byte", "Caf\xE9 e\xCC\x81", "Caf\xE9 e\xCC\x81"},
        {"cut short", "e\xCC", "e\xCC"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComposedText(c.text), c.composed) << c.name;
    }
}

} // namespace
} // namespace korvel::platform
