#include "protocol/Decimal.h"

#include <gtest/gtest.h>

#include <optional>

namespace korvel::protocol {
namespace {

struct ParseCase {
    const char* name;
    const char* text;
    std::optional<Decimal> number; // empty: refused
    const char* message;           // the refusal
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

const ParseCase kParseCases[] = {
    // Binary floating point would give 114 and 28 hundredths.
    {"OnePointFifteen", "1.15", Decimal{false, 115}, ""},
    {"ZeroPointTwentyNine", "0.29", Decimal{false, 29}, ""},
    {"NegativeZeroKeepsItsSign", "-0.00", Decimal{true, 0}, ""},
    {"NegativeOneDecimal", "-1.5", Decimal{true, 150}, ""},
    {"Integer", "300", Decimal{false, 30000}, ""},
    {"LargestTextInteger", "999999.99", Decimal{false, 99999999}, ""},
    {"ThreeDecimals", "1.234", std::nullopt, "'1.234' has more than two decimals"},
    {"TrailingZeroThirdDecimal", "1.230", std::nullopt, "'1.230' has more than two decimals"},
    {"Empty", "", std::nullopt, "'' is not a valid number"},
    {"LoneMinus", "-", std::nullopt, "'-' is not a valid number"},
    {"PointWithoutDecimals", "1.", std::nullopt, "'1.' is not a valid number"},
    {"PointWithoutInteger", ".5", std::nullopt, "'.5' is not a valid number"},
    {"Comma", "1,5", std::nullopt, "'1,5' is not a valid number"},
    {"Exponent", "1e2", std::nullopt, "'1e2' is not a valid number"},
    {"Blank", " 1", std::nullopt, "' 1' is not a valid number"},
    {"PlusSign", "+1", std::nullopt, "'+1' is not a valid number"},
    {"TooLarge", "1000000", std::nullopt, "'1000000' is out of range"},
};

class ParseDecimalTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseDecimalTest, ReadsTheTextExactly) {
    const ParseCase& c = GetParam();
    const Result<Decimal> number = ParseDecimal(c.text);
    if (c.number) {
        ASSERT_TRUE(number) << number.failure().message;
        EXPECT_EQ(*number, *c.number);
    } else {
        ASSERT_FALSE(number);
        EXPECT_EQ(number.failure().message, c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseDecimalTest, testing::ValuesIn(kParseCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DecimalText, IsTheShortestTextThatReadsBack) {
    const std::pair<Decimal, const char*> cases[] = {
        {{false, 30000}, "300"}, {{false, 2550}, "25.5"}, {{false, 115}, "1.15"},
        {{false, 5}, "0.05"},    {{true, 0}, "-0"},       {{true, 205}, "-2.05"},
    };
    for (const auto& [number, text] : cases) {
        EXPECT_EQ(DecimalText(number), text);
        EXPECT_EQ(*ParseDecimal(text), number) << text;
    }
}

} // namespace
} // namespace korvel::protocol
