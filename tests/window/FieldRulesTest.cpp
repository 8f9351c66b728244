// The pure decisions behind the window's key filters and memo limit.
#include "window/FieldRules.h"
#include "window/KeyFilter.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

namespace korvel::window {
namespace {

struct KeyCase {
    const char* name;
    char16_t key;
    const char* text;
    bool number;   // numeric filter, point separator
    bool password; // letters-and-digits filter
    bool serial;   // serial-number filter
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.name;
}

const KeyCase kKeys[] = {
    {"BackspaceInFullBox", u'\b', "12.5", true, true, true},
    {"TabAndReturn", u'\r', "A1", true, true, true},
    {"DigitAfterText", u'7', "A1", true, true, true},
    {"MinusAfterText", u'-', "-1-", true, false, false},
    {"SecondPoint", u'.', "1.5", false, false, false},
    {"FirstPoint", u'.', "15", true, false, false},
    {"LetterIntoEmptyBox", u'Q', "", false, true, true},
    {"LetterAfterText", u'q', "Q", false, true, false},
    {"NonAsciiLetter", u'\u00e9', "", false, false, false},
    {"NonAsciiDigit", u'\u0663', "", false, false, false},
    {"CopyShortcut", u'\x03', "", false, false, false},
    {"PasteShortcut", u'\x16', "", false, false, false},
    {"CutShortcut", u'\x18', "", false, false, false},
    {"Space", u' ', "", false, false, false},
};

class KeyRuleTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyRuleTest, EachFilterJudgesTheKey) {
    const KeyCase& c = GetParam();
    const QString text = QString::fromLatin1(c.text);
    EXPECT_EQ(NumberKeyAccepted(QChar(c.key), text, QLatin1Char('.')), c.number);
    EXPECT_EQ(CharKeyAccepted(QChar(c.key)), c.password);
    EXPECT_EQ(SerialNumberKeyAccepted(QChar(c.key), text), c.serial);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyRuleTest, ::testing::ValuesIn(kKeys),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(NumberKeyAccepted, TakesTheFullStopOrTheLocaleSeparatorOnce) {
    const QChar comma = QLatin1Char(',');
    const QChar arabic = QChar(0x066B);
    EXPECT_TRUE(NumberKeyAccepted(u',', "12", comma));
    EXPECT_TRUE(NumberKeyAccepted(u'.', "12", comma));
    EXPECT_FALSE(NumberKeyAccepted(u',', "1,2", comma));
    EXPECT_FALSE(NumberKeyAccepted(u'.', "1,2", comma));
    EXPECT_FALSE(NumberKeyAccepted(u',', "1.2", comma));
    EXPECT_FALSE(NumberKeyAccepted(u',', "12", QLatin1Char('.')));
    EXPECT_TRUE(NumberKeyAccepted(arabic, "12", arabic));
    EXPECT_TRUE(NumberKeyAccepted(u'.', "12", arabic));
    EXPECT_FALSE(NumberKeyAccepted(u'.', QStringLiteral("1\u066B2"), arabic));
    EXPECT_FALSE(NumberKeyAccepted(arabic, "1.2", arabic));
}

TEST(NumberTextForSave, GivesTheLocaleSeparatorItsSingleByte) {
    EXPECT_EQ(NumberTextForSave(QStringLiteral("-1\u066B5"), QChar(0x066B), '.'), "-1.5");
    EXPECT_EQ(NumberTextForSave("1.5", QChar(0x066B), '.'), "1.5");
    EXPECT_EQ(NumberTextForSave("1,5", QLatin1Char(','), ','), "1,5");
    EXPECT_EQ(NumberTextForSave("1.5", QLatin1Char(','), ','), "1.5");
}

TEST(TypedCharacter, ControlLettersTypeTheirControlCodeAndDeleteNothing) {
    const QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("v"));
    EXPECT_EQ(TypedCharacter(paste), QChar(22));
    const QKeyEvent letter(QEvent::KeyPress, Qt::Key_V, Qt::ShiftModifier, QStringLiteral("V"));
    EXPECT_EQ(TypedCharacter(letter), QChar(u'V'));
    const QKeyEvent arrow(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    EXPECT_EQ(TypedCharacter(arrow), std::nullopt);
    for (const Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::ShiftModifier}) {
        const QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, modifiers, QString(QChar(0x7F)));
        EXPECT_EQ(TypedCharacter(del), std::nullopt);
    }
}

TEST(StartModeEnablingFor, NoSelectionChangesNothing) {
    EXPECT_FALSE(StartModeEnablingFor(-1).has_value());
    EXPECT_FALSE(StartModeEnablingFor(3).has_value());
    EXPECT_TRUE(StartModeEnablingFor(1)->startDelay);
    EXPECT_TRUE(StartModeEnablingFor(2)->startTime);
}

struct TripCase {
    const char* name;
    QString insert;
    int room;
    QString fitted;
    int length; // TripInfoLength(insert)
};

void PrintTo(const TripCase& c, std::ostream* os) {
    *os << c.name;
}

const TripCase kTrips[] = {
    {"FitsWhole", "ab\ncd", 6, "ab\ncd", 6},
    {"CutBeforeABreakThatDoesNotFit", "ab\ncd", 3, "ab", 6},
    {"CrLfIsOneBreak", "a\r\nb", 3, "a\r\n", 4},
    {"NoRoom", "abc", 0, "", 3},
    {"SurrogatePairKeptWhole", QString::fromUtf8("a\xF0\x9F\x98\x80"), 2, "a", 3},
};

class TripInfoTest : public ::testing::TestWithParam<TripCase> {};

TEST_P(TripInfoTest, CountsLineBreaksAsTwo) {
    EXPECT_EQ(FitTripInfo(GetParam().insert, GetParam().room), GetParam().fitted);
    EXPECT_EQ(TripInfoLength(GetParam().insert), GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(Inserts, TripInfoTest, ::testing::ValuesIn(kTrips),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace korvel::window
