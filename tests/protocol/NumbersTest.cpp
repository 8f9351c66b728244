#include "protocol/Numbers.h"
#include "protocol/TimeZone.h"

#include <gtest/gtest.h>

namespace korvel::protocol {
namespace {

struct TripleCase {
    const char* name;
    const char* text;
    char separator;
    DecimalTriple triple;
};

void PrintTo(const TripleCase& c, std::ostream* os) {
    *os << c.name;
}

const TripleCase kEncodeCases[] = {
    {"MinusOnePointFive", "-1.5", '.', {1, 1, 50}},
    {"ThirdDecimalDropped", "12.345", '.', {0, 12, 34}},
    {"Zero", "0", '.', {0, 0, 0}},
    {"OnePointFifteen", "1.15", '.', {0, 1, 15}},
    {"PointFiftyThree", "0.53", '.', {0, 0, 53}},
    {"NotCarried", "25.057", '.', {0, 25, 5}},
    {"MinusHalf", "-0.5", '.', {1, 0, 50}},
    {"MinusZero", "-0", '.', {0, 0, 0}},
    {"CommaSeparator", "12,5", ',', {0, 12, 50}},
    {"FullStopBesideCommaSeparator", "-12.5", ',', {1, 12, 50}},
    {"SurroundingBlanks", "  7.25 ", '.', {0, 7, 25}},
    {"LeadingSeparator", ".5", '.', {0, 0, 50}},
    {"TrailingSeparator", "3.", '.', {0, 3, 0}},
    {"PlusSign", "+4.01", '.', {0, 4, 1}},
    {"FourPlacesRounded", "1.99995", '.', {0, 2, 0}},
    {"FifthDecimalBelowHalf", "1.99994", '.', {0, 1, 99}},
    {"LargestByte", "255.99", '.', {0, 255, 99}},
};

class TripleFromTextTest : public testing::TestWithParam<TripleCase> {};

TEST_P(TripleFromTextTest, Encodes) {
    const TripleCase& c = GetParam();
    const Result<DecimalTriple> result = DecimalTripleFromText(c.text, c.separator);
    ASSERT_TRUE(result.ok()) << result.failure().message;
    EXPECT_EQ(*result, c.triple);
}

INSTANTIATE_TEST_SUITE_P(Texts, TripleFromTextTest, testing::ValuesIn(kEncodeCases),
                         [](const auto& row) { return std::string(row.param.name); });

struct FailureCase {
    const char* name;
    const char* text;
    char separator;
    unsigned integerMax;
    Failure::Kind kind;
    const char* message;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

const FailureCase kFailureCases[] = {
    {"FullStopAndCommaTogether", "1.2,5", ',', 255, Failure::Kind::NotANumber,
     "'1.2,5' is not a valid number"},
    {"CommaUnderPointLocale", "12,5", '.', 255, Failure::Kind::NotANumber,
     "'12,5' is not a valid number"},
    {"Empty", "", '.', 255, Failure::Kind::NotANumber, "'' is not a valid number"},
    {"LoneMinus", " - ", '.', 255, Failure::Kind::NotANumber, "' - ' is not a valid number"},
    {"MinusInside", "-1-2.53", '.', 255, Failure::Kind::NotANumber,
     "'-1-2.53' is not a valid number"},
    {"TwoSeparators", "1.2.3", '.', 255, Failure::Kind::NotANumber,
     "'1.2.3' is not a valid number"},
    {"Letters", "abc", '.', 255, Failure::Kind::NotANumber, "'abc' is not a valid number"},
    {"PlainByteOverflow", "256", '.', 255, Failure::Kind::OutOfRange, "'256' is out of range"},
    {"LimitOfThreeHundred", "-300", '.', 255, Failure::Kind::OutOfRange, "'-300' is out of range"},
    {"BcdOverflow", "100", '.', kPackedBcdMax, Failure::Kind::OutOfRange, "'100' is out of range"},
    {"HugeNumber", "99999999999999999999999", '.', 255, Failure::Kind::OutOfRange,
     "'99999999999999999999999' is out of range"},
};

class TripleFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(TripleFailureTest, ReportsInsteadOfWrapping) {
    const FailureCase& c = GetParam();
    const Result<DecimalTriple> result = DecimalTripleFromText(c.text, c.separator, c.integerMax);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.failure().kind, c.kind);
    EXPECT_EQ(result.failure().message, c.message);
}

INSTANTIATE_TEST_SUITE_P(Texts, TripleFailureTest, testing::ValuesIn(kFailureCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DecimalTripleToText, WritesSignIntegerSeparatorAndAtLeastTwoDigitHundredths) {
    EXPECT_EQ(DecimalTripleToText({0, 25, 50}, '.'), "25.50");
    EXPECT_EQ(DecimalTripleToText({1, 0, 5}, '.'), "-0.05");
    EXPECT_EQ(DecimalTripleToText({1, 3, 5}, '.'), "-3.05");
    EXPECT_EQ(DecimalTripleToText({1, 2, 5}, ','), "-2,05");
    EXPECT_EQ(DecimalTripleToText({7, 255, 99}, '.'), "-255.99");
    // A reply's hundredths byte may exceed 99; no digit is lost.
    EXPECT_EQ(DecimalTripleToText({0, 25, 100}, '.'), "25.100");
    EXPECT_EQ(DecimalTripleToText({0, 25, 150}, '.'), "25.150");
    EXPECT_EQ(DecimalTripleToText({1, 0, 153}, ','), "-0,153");
    EXPECT_EQ(DecimalTripleToText({0, 1, 255}, '.'), "1.255");
}

TEST(DecimalTriple, RoundTripsThroughTextWithEitherSeparator) {
    for (char separator : {'.', ','}) {
        for (DecimalTriple t : {DecimalTriple{1, 2, 5}, DecimalTriple{0, 99, 0},
                                DecimalTriple{0, 255, 99}, DecimalTriple{1, 0, 1}}) {
            const auto back = DecimalTripleFromText(DecimalTripleToText(t, separator), separator);
            ASSERT_TRUE(back.ok());
            EXPECT_EQ(*back, t);
        }
    }
}

TEST(PackedBcd, WritesDecimalDigitsAsNibbles) {
    EXPECT_EQ(*ToPackedBcd(25), 0x25);
    EXPECT_EQ(*ToPackedBcd(7), 0x07);
    EXPECT_EQ(*ToPackedBcd(0), 0x00);
    EXPECT_EQ(*ToPackedBcd(99), 0x99);
    ASSERT_FALSE(ToPackedBcd(100).ok());
    EXPECT_EQ(ToPackedBcd(100).failure().kind, Failure::Kind::OutOfRange);
}

TEST(IntegerFromText, ReadsListTexts) {
    EXPECT_EQ(*IntegerFromText("23"), 23);
    EXPECT_EQ(*IntegerFromText("-5"), -5);
    EXPECT_EQ(*IntegerFromText(" 7 "), 7);
    EXPECT_EQ(IntegerFromText("").failure().message, "'' is not a valid integer value");
    EXPECT_EQ(IntegerFromText("1.5").failure().message, "'1.5' is not a valid integer value");
    EXPECT_EQ(ByteFromText("256").failure().kind, Failure::Kind::OutOfRange);
    EXPECT_EQ(*ByteFromText("255"), 255);
}

struct ZoneCase {
    const char* text;
    TimeZoneBytes bytes;
};

TEST(TimeZone, TextAndBytesAgree) {
    const ZoneCase cases[] = {
        {"UTC-00:30", {1, 0, 30}}, {"UTC+05:30", {0, 5, 30}}, {"UTC-03:30", {1, 3, 30}},
        {"UTC+00:00", {0, 0, 0}},  {"UTC-12:00", {1, 12, 0}}, {"UTC+14:00", {0, 14, 0}},
    };
    for (const ZoneCase& c : cases) {
        const auto bytes = TimeZoneFromText(c.text);
        ASSERT_TRUE(bytes.ok()) << c.text;
        EXPECT_EQ(*bytes, c.bytes) << c.text;
        EXPECT_EQ(TimeZoneText(c.bytes), c.text);
    }
    EXPECT_EQ(TimeZoneText({0, 5, 45}), "UTC+05:45");
}

TEST(TimeZone, ListItemsRunInHalfHoursAroundUtc) {
    EXPECT_EQ(TimeZoneItemText(0), "UTC-12:00");
    EXPECT_EQ(TimeZoneItemText(23), "UTC-00:30");
    EXPECT_EQ(TimeZoneItemText(kUtcIndex), "UTC+00:00");
    EXPECT_EQ(TimeZoneItemText(35), "UTC+05:30");
    EXPECT_EQ(TimeZoneItemText(kTimeZoneCount - 1), "UTC+14:00");
}

TEST(TimeZone, TextWithoutNumbersFails) {
    EXPECT_FALSE(TimeZoneFromText("").ok());
    EXPECT_FALSE(TimeZoneFromText("UTC+xx:30").ok());
    EXPECT_EQ(TimeZoneFromText("UTC").failure().kind, Failure::Kind::NotANumber);
}

} // namespace
} // namespace korvel::protocol
