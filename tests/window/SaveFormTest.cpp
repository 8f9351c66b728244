
#include "window/SaveForm.h"

#include "translations/Language.h"
#include "window/ThresholdRows.h"

#include "protocol/SettingsCodec.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <vector>

namespace korvel::window {
namespace {

using namespace korvel::protocol;

// The window's save path.
constexpr auto EncodeSaveCommand = EncodeSaveForm;

using Bytes = std::vector<std::uint8_t>;

ThresholdEntry& row(SaveForm& form, Threshold threshold) {
    return form.thresholds[Index(threshold)];
}

// What a freshly shown window holds, with a valid serial number typed in.
SaveForm freshForm() {
    SaveForm form;
    form.serialNumber = "KV2024007";
    form.logIntervalH = "0";
    form.logIntervalM = "0";
    form.logIntervalS = "0";
    form.stopMode = 0;
    form.startMode = 0;
    form.startDelayH = "0";
    form.startDelayM = "0";
    form.startTime = {"2018", "1", "1", "0", "0", "0"};
    form.probeMode = 0;
    form.celsius = true;
    form.timeZone = "UTC+00:00";
    form.cycleSwitch = 0;
    form.calibrationTemperature = "0";
    form.calibrationHumidity = "0";
    form.temporaryPdfStartup = 0;
    form.passwordStartup = 0;
    form.systemTime = {"2024", "3", "9", "14", "5", "7"};
    for (ThresholdEntry& entry : form.thresholds) {
        entry = {true, "", 0, {"0", "0", "0"}};
    }
    return form;
}

SaveForm multipleForm() {
    SaveForm form = freshForm();
    form.alarm = AlarmChoice::Multiple;
    for (ThresholdEntry& entry : form.thresholds) {
        entry.value = "1.5";
    }
    return form;
}

SaveForm singleForm() {
    SaveForm form = freshForm();
    form.alarm = AlarmChoice::Single;
    form.singleH1 = "30";
    form.singleL1 = "-10";
    return form;
}

// ---- Validation ----

struct ProblemCase {
    const char* name;
    std::function<SaveForm()> form;
    std::optional<Field> field; // empty: the save may go ahead
    const char* message;
};

void PrintTo(const ProblemCase& c, std::ostream* os) {
    *os << c.name;
}

template <typename Change> std::function<SaveForm()> with(SaveForm (*base)(), Change change) {
    return [base, change] {
        SaveForm form = base();
        change(form);
        return form;
    };
}

const ProblemCase kProblemCases[] = {
    {"FreshWindowPasses", freshForm, {}, ""},
    {"MultiplePasses", multipleForm, {}, ""},
    {"SinglePasses", singleForm, {}, ""},
    {"SerialOfEight", with(freshForm, [](SaveForm& f) { f.serialNumber = "KV202400"; }),
     Field::SerialNumber, "The Serial Number can not be empty and the Serial Number length is 9"},
    {"SerialEmpty", with(freshForm, [](SaveForm& f) { f.serialNumber = ""; }), Field::SerialNumber,
     "The Serial Number can not be empty and the Serial Number length is 9"},
    {"SerialFirstOfMany",
     with(multipleForm,
          [](SaveForm& f) {
              f.serialNumber = "1234567890";
              f.calibrationTemperature = "";
              row(f, Threshold::H3).value = "";
          }),
     Field::SerialNumber, "The Serial Number can not be empty and the Serial Number length is 9"},
    {"CalibrationMinusBetweenSpaces",
     with(freshForm, [](SaveForm& f) { f.calibrationTemperature = " - "; }),
     Field::CalibrationTemperature, "The Calibration Temperature can not be empty"},
    {"CalibrationControlCharactersOnly",
     with(freshForm, [](SaveForm& f) { f.calibrationTemperature = "\t\r\n"; }),
     Field::CalibrationTemperature, "The Calibration Temperature can not be empty"},
    {"CalibrationMinusZeroPasses",
     with(freshForm, [](SaveForm& f) { f.calibrationTemperature = "-0"; }),
     {},
     ""},
    {"HumidityCalibrationEmpty", with(freshForm, [](SaveForm& f) { f.calibrationHumidity = ""; }),
     Field::CalibrationHumidity, "The Calibration Humidity can not be empty"},
    {"PasswordOfFiveEnabled",
     with(freshForm,
          [](SaveForm& f) {
              f.passwordStartup = 1;
              f.password = "abc12";
          }),
     Field::Password, "The Password can not be empty and the Password length is 6"},
    {"PasswordOfFiveDisabledPasses",
     with(freshForm, [](SaveForm& f) { f.password = "abc12"; }),
     {},
     ""},
    {"H3UntickedMinus",
     with(multipleForm,
          [](SaveForm& f) {
              row(f, Threshold::H3).ticked = false;
              row(f, Threshold::H3).value = "-";
          }),
     Field::TemperatureH3, "The Temperature H3 can not be empty"},
    {"H3UntickedEmptyPasses",
     with(multipleForm,
          [](SaveForm& f) {
              row(f, Threshold::H3).ticked = false;
              row(f, Threshold::H3).value = " ";
          }),
     {},
     ""},
    {"H2TickedEmpty", with(multipleForm, [](SaveForm& f) { row(f, Threshold::H2).value = ""; }),
     Field::TemperatureH2, "The Temperature H2 can not be empty"},
    {"H1EmptyEvenIfMarkedUnticked",
     with(multipleForm,
          [](SaveForm& f) {
              row(f, Threshold::H1).ticked = false;
              row(f, Threshold::H1).value = "";
          }),
     Field::TemperatureH1, "The Temperature H1 can not be empty"},
    {"L1Minus", with(multipleForm, [](SaveForm& f) { row(f, Threshold::L1).value = "- "; }),
     Field::TemperatureL1, "The Temperature L1 can not be empty"},
    {"L2TickedEmpty", with(multipleForm, [](SaveForm& f) { row(f, Threshold::L2).value = ""; }),
     Field::TemperatureL2, "The Temperature L2 can not be empty"},
    {"HumidityH1TickedEmpty",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::HumidityH1).value = ""; }),
     Field::HumidityH1, "The Humidity H1 can not be empty"},
    {"HumidityL1TickedEmpty",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::HumidityL1).value = ""; }),
     Field::HumidityL1, "The Humidity L1 can not be empty"},
    {"RowsCheckedTopToBottom",
     with(multipleForm,
          [](SaveForm& f) {
              row(f, Threshold::HumidityL1).value = "";
              row(f, Threshold::L1).value = "";
              row(f, Threshold::H2).value = "";
          }),
     Field::TemperatureH2, "The Temperature H2 can not be empty"},
    {"RowsIgnoredWithSingleAlarm",
     with(singleForm, [](SaveForm& f) { row(f, Threshold::H3).value = "-"; }),
     {},
     ""},
    {"SingleH1Empty", with(singleForm, [](SaveForm& f) { f.singleH1 = ""; }), Field::SingleH1,
     "The Temperature H1 can not be empty"},
    {"SingleL1MinusAfterH1",
     with(singleForm,
          [](SaveForm& f) {
              f.singleL1 = "-";
              f.singleH1 = "-";
          }),
     Field::SingleH1, "The Temperature H1 can not be empty"},
    {"SingleL1Minus", with(singleForm, [](SaveForm& f) { f.singleL1 = " -"; }), Field::SingleL1,
     "The Temperature L1 can not be empty"},
    {"SingleIgnoredWithNoAlarm",
     with(singleForm,
          [](SaveForm& f) {
              f.alarm = AlarmChoice::None;
              f.singleL1 = "";
          }),
     {},
     ""},
    {"CalibrationAboveByte", with(freshForm, [](SaveForm& f) { f.calibrationTemperature = "256"; }),
     Field::CalibrationTemperature, "The Calibration Temperature is out of range"},
    {"CalibrationLargestByteIntegerPasses",
     with(freshForm, [](SaveForm& f) { f.calibrationTemperature = "255.99"; }),
     {},
     ""},
    {"HumidityCalibrationFarBelow",
     with(freshForm, [](SaveForm& f) { f.calibrationHumidity = "-300"; }),
     Field::CalibrationHumidity, "The Calibration Humidity is out of range"},
    {"MultipleLimitAboveBcd",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::H3).value = "100"; }),
     Field::TemperatureH3, "The Temperature H3 is out of range"},
    {"MultipleNegativeLimitAboveBcd",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::L1).value = "-120"; }),
     Field::TemperatureL1, "The Temperature L1 is out of range"},
    {"MultipleLargestBcdPasses",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::H1).value = "99.99"; }),
     {},
     ""},
    {"UntickedRowNotWrittenPasses",
     with(multipleForm,
          [](SaveForm& f) {
              row(f, Threshold::HumidityH1).ticked = false;
              row(f, Threshold::HumidityH1).value = "150";
          }),
     {},
     ""},
    {"SingleLimitFitsPlainByte", with(singleForm, [](SaveForm& f) { f.singleH1 = "120"; }), {}, ""},
    {"SingleLimitAboveByte", with(singleForm, [](SaveForm& f) { f.singleL1 = "-256"; }),
     Field::SingleL1, "The Temperature L1 is out of range"},
    {"SingleLowAboveHigh",
     with(singleForm,
          [](SaveForm& f) {
              f.singleH1 = "20";
              f.singleL1 = "20,01";
          }),
     Field::SingleL1, "The Temperature L1 can not be above the Temperature H1"},
    {"SingleLowEqualToHighPasses",
     with(singleForm,
          [](SaveForm& f) {
              f.singleH1 = "-5";
              f.singleL1 = "-5.00";
          }),
     {},
     ""},
    {"FullStopAndCommaAlikeUnderCommaLocale",
     with(singleForm,
          [](SaveForm& f) {
              f.singleH1 = "25.5";
              f.singleL1 = "-2,5";
          }),
     {},
     ""},
};

class ValidateSaveTest : public testing::TestWithParam<ProblemCase> {};

TEST_P(ValidateSaveTest, FindsTheFirstProblem) {
    const ProblemCase& c = GetParam();
    // The comma locale: the full stop passes all the same.
    const std::optional<SaveProblem> problem = ValidateSave(c.form(), ',', {});
    if (!c.field) {
        EXPECT_FALSE(problem) << problem->message;
        return;
    }
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->field, *c.field);
    EXPECT_EQ(problem->message, c.message);
    EXPECT_EQ(ProblemText(*problem).toStdString(), c.message);
    EXPECT_EQ(problem->kind, SaveProblem::Kind::Refused);
}

INSTANTIATE_TEST_SUITE_P(Rules, ValidateSaveTest, testing::ValuesIn(kProblemCases),
                         [](const auto& row) { return std::string(row.param.name); });

// A field's emptiness, number and range checks all run at its own turn, so an
// earlier field's fault of any kind wins over a later field's.
// The save checks the rows in the order the panel places them.
TEST(ValidateSave, ChecksTheRowsInThePanelsOrder) {
    for (std::size_t i = 0; i < kPanelRowOrder.size(); ++i) {
        EXPECT_EQ(kThresholdRows[i].threshold, kPanelRowOrder[i]) << "row " << i;
    }
}

// The user reads the message in their language: the field's name translated
// with it, a text that is no number as typed.
TEST(ValidateSave, ProblemTextSpeaksTheUsersLanguage) {
    const SaveForm empty =
        with(multipleForm, [](SaveForm& f) { row(f, Threshold::H3).value = ""; })();
    const SaveForm noNumber = with(singleForm, [](SaveForm& f) { f.singleL1 = "1-2"; })();
    const SaveForm shortSerial = with(freshForm, [](SaveForm& f) { f.serialNumber = "A1"; })();
    const struct {
        const char* name;
        QLocale locale;
        SaveForm form;
        const char* text;
    } cases[] = {
        {"German field name", QLocale(QLocale::German), empty,
         "Temperatur H3 darf nicht leer sein"},
        {"German typed text", QLocale(QLocale::German), noNumber, "„1-2“ ist keine gültige Zahl"},
        {"German whole message", QLocale(QLocale::German), shortSerial,
         "Die Seriennummer darf nicht leer sein und muss 9 Zeichen lang sein"},
        {"German limits that cross", QLocale(QLocale::German),
         with(singleForm, [](SaveForm& f) { f.singleL1 = "31"; })(),
         "Temperatur L1 darf nicht über Temperatur H1 liegen"},
        {"Chinese field name", QLocale(QLocale::Chinese, QLocale::China), empty,
         "温度 H3 不能为空"},
        {"Chinese typed text", QLocale(QLocale::Chinese, QLocale::China), noNumber,
         "“1-2”不是有效的数字"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const translations::Language language(c.locale);
        const std::optional<SaveProblem> problem = ValidateSave(c.form, '.', {});
        ASSERT_TRUE(problem);
        EXPECT_EQ(ProblemText(*problem), QString::fromUtf8(c.text));
    }
}

TEST(ValidateSave, ChecksEachFieldWhollyAtItsTurn) {
    using Kind = SaveProblem::Kind;
    const struct {
        const char* name;
        SaveForm form;
        Field field;
        Kind kind;
        const char* message;
    } cases[] = {
        {"range before a later emptiness",
         with(freshForm,
              [](SaveForm& f) {
                  f.calibrationTemperature = "300";
                  f.calibrationHumidity = "";
              })(),
         Field::CalibrationTemperature, Kind::Refused,
         "The Calibration Temperature is out of range"},
        {"no number before a later range",
         with(singleForm,
              [](SaveForm& f) {
                  f.calibrationTemperature = "1-2";
                  f.singleL1 = "-256";
              })(),
         Field::CalibrationTemperature, Kind::NotANumber, "'1-2' is not a valid number"},
        {"no number before a later emptiness",
         with(multipleForm,
              [](SaveForm& f) {
                  f.calibrationHumidity = "1.2.3";
                  f.passwordStartup = 1;
                  row(f, Threshold::H3).value = "";
              })(),
         Field::CalibrationHumidity, Kind::NotANumber, "'1.2.3' is not a valid number"},
        {"emptiness before a later number",
         with(multipleForm,
              [](SaveForm& f) {
                  f.calibrationTemperature = " ";
                  row(f, Threshold::H3).value = "1-2";
              })(),
         Field::CalibrationTemperature, Kind::Refused,
         "The Calibration Temperature can not be empty"},
        {"rows top to bottom whatever the fault",
         with(multipleForm,
              [](SaveForm& f) {
                  row(f, Threshold::L1).value = "120";
                  row(f, Threshold::H2).value = "5-";
              })(),
         Field::TemperatureH2, Kind::NotANumber, "'5-' is not a valid number"},
        {"single H1 before L1",
         with(singleForm,
              [](SaveForm& f) {
                  f.singleL1 = "";
                  f.singleH1 = "256";
              })(),
         Field::SingleH1, Kind::Refused, "The Temperature H1 is out of range"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<SaveProblem> problem = ValidateSave(c.form, '.', {});
        ASSERT_TRUE(problem);
        EXPECT_EQ(problem->field, c.field);
        EXPECT_EQ(problem->kind, c.kind);
        EXPECT_EQ(problem->message, c.message);
        EXPECT_EQ(ProblemText(*problem).toStdString(), c.message);
    }

    // A row that is not written is not read as a number.
    SaveForm unticked = multipleForm();
    row(unticked, Threshold::L2) = {false, "1-2", 0, {"0", "0", "0"}};
    EXPECT_FALSE(ValidateSave(unticked, '.', {}));
}

// ---- Encoding ----

Block previousSave() {
    Block block;
    block.fill(0x5A);
    return block;
}

Block encoded(const SaveForm& form, char separator = '.') {
    Block block = previousSave();
    const Result<void> saved = EncodeSaveCommand(form, separator, block);
    EXPECT_TRUE(saved) << saved.failure().message;
    return block;
}

Bytes bytesAt(const Block& block, std::size_t at, std::size_t count) {
    return Bytes(block.begin() + at, block.begin() + at + count);
}

struct EncodeCase {
    const char* name;
    std::function<SaveForm()> form;
    std::size_t at;
    Bytes bytes;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

const Bytes kOff(7, level::kDisabled);

const EncodeCase kEncodeCases[] = {
    {"Envelope", freshForm, 0, {0xAA, 0x55, 0x95, 0xCC}},
    {"SerialNumber",
     freshForm,
     offset::kSerialNumber,
     {'K', 'V', '2', '0', '2', '4', '0', '0', '7'}},
    {"ReservedBytesZeroed", freshForm, offset::kReservedId, {0, 0, 0, 0}},
    {"ReservedWordZeroed", freshForm, offset::kReservedWord, {0, 0}},
    {"LogInterval",
     with(freshForm,
          [](SaveForm& f) {
              f.logIntervalH = "1";
              f.logIntervalM = "30";
          }),
     offset::kLogIntervalH,
     {0x01, 0x1E, 0x00}},
    {"LogIntervalLastItems",
     with(freshForm,
          [](SaveForm& f) {
              f.logIntervalH = "23";
              f.logIntervalM = "60";
              f.logIntervalS = "50";
          }),
     offset::kLogIntervalH,
     {23, 60, 50}},
    {"StopByButton", freshForm, offset::kStopMode, {0x01}},
    {"StopBySoftware",
     with(freshForm, [](SaveForm& f) { f.stopMode = 1; }),
     offset::kStopMode,
     {0x10}},
    {"StopByButtonOrSoftware",
     with(freshForm, [](SaveForm& f) { f.stopMode = 2; }),
     offset::kStopMode,
     {0x11}},
    {"RightNowKeepsStartBytes",
     freshForm,
     offset::kStartMode,
     {0, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A}},
    {"DelayedKeepsStartDate",
     with(freshForm,
          [](SaveForm& f) {
              f.startMode = 1;
              f.startDelayH = "2";
              f.startDelayM = "15";
          }),
     offset::kStartMode,
     {0x01, 0x5A, 0x5A, 0x5A, 0x02, 0x0F, 0x5A}},
    {"Timing",
     with(freshForm,
          [](SaveForm& f) {
              f.startMode = 2;
              f.startTime = {"2019", "12", "31", "23", "59", "58"};
          }),
     offset::kStartMode,
     {0x02, 19, 12, 31, 23, 59, 58}},
    {"ProbeUnitAndZoneBytes", freshForm, offset::kReserved30, {0, 0, 0, 0, 0, 0, 0, 0}},
    {"ExternalProbeFahrenheitWest",
     with(freshForm,
          [](SaveForm& f) {
              f.probeMode = 1;
              f.celsius = false;
              f.fahrenheit = true;
              f.timeZone = "UTC-03:30";
              f.cycleSwitch = 1;
          }),
     offset::kProbeMode,
     {1, 0, 1, 0x01, 0x03, 0x1E, 1}},
    {"TimeZoneEast",
     with(freshForm, [](SaveForm& f) { f.timeZone = "UTC+14:00"; }),
     offset::kTimeZoneSign,
     {0x00, 0x0E, 0x00}},
    {"CalibrationsPlainBytes",
     with(freshForm,
          [](SaveForm& f) {
              f.calibrationTemperature = "-1.5";
              f.calibrationHumidity = "12.345";
          }),
     offset::kCalibrationTemperature,
     {0x01, 0x01, 0x32, 0x00, 0x0C, 0x22}},
    {"CalibrationMinusZero",
     with(freshForm, [](SaveForm& f) { f.calibrationTemperature = "-0"; }),
     offset::kCalibrationTemperature,
     {0, 0, 0}},
    {"PasswordDisabledKept",
     with(freshForm, [](SaveForm& f) { f.password = "abc123"; }),
     offset::kTemporaryPdfStartup,
     {0, 0, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A}},
    {"PasswordEnabled",
     with(freshForm,
          [](SaveForm& f) {
              f.temporaryPdfStartup = 1;
              f.passwordStartup = 1;
              f.password = "abc123";
          }),
     offset::kTemporaryPdfStartup,
     {1, 1, 'a', 'b', 'c', '1', '2', '3'}},
    {"SystemTime", freshForm, offset::kSystemYear, {24, 3, 9, 14, 5, 7}},
    {"TripInfoZeroPadded",
     with(freshForm, [](SaveForm& f) { f.tripInfo = "a\r\n\xE9"; }),
     offset::kTripInfo,
     {'a', 0x0D, 0x0A, 0xE9, 0, 0}},
    {"NoAlarmKeepsLevels", freshForm, offset::kAlarmSwitch, {0, 0x5A, 0x5A, 0x5A}},
    {"MultipleLevelInBcd",
     with(multipleForm,
          [](SaveForm& f) {
              row(f, Threshold::L1) = {true, "25.5", 0, {"0", "10", "5"}};
          }),
     offset::kAlarmSwitch,
     {1, 0x00, 0x25, 0x50, 0x00, 0x00, 0x10, 0x05}},
    {"MultipleNegativeCumulative",
     with(multipleForm,
          [](SaveForm& f) {
              row(f, Threshold::HumidityH1) = {true, "-0.07", 1, {"23", "59", "59"}};
          }),
     offset::kHumidityH1,
     {0x01, 0x00, 0x07, 0x01, 0x23, 0x59, 0x59}},
    {"MultipleModeWithoutSelectionIsCumulative",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::H1).modeIndex = -1; }),
     offset::kTemperatureH1 + level::kMode,
     {1}},
    {"MultipleUntickedOff",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::L2).ticked = false; }),
     offset::kTemperatureL2, kOff},
    {"MultipleUncheckableRowsAlwaysWritten",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::H1).ticked = false; }),
     offset::kTemperatureH1,
     {0x00, 0x01, 0x50, 0, 0, 0, 0}},
    {"SingleLevelsPlain",
     with(singleForm, [](SaveForm& f) { f.singleL1 = "25.5"; }),
     offset::kAlarmSwitch,
     {1, 0x00, 0x19, 0x32, 0, 0, 0, 0}},
    {"SingleH1", singleForm, offset::kTemperatureH1, {0x00, 30, 0x00, 0, 0, 0, 0}},
    {"SingleOtherLevelsOff", singleForm, offset::kTemperatureL2, kOff},
    {"SingleOtherLevelsOffToTheEnd", singleForm, offset::kTemperatureH2,
     Bytes(offset::kChecksum - offset::kTemperatureH2, level::kDisabled)},
};

class EncodeSaveCommandTest : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeSaveCommandTest, WritesTheFieldBytes) {
    const EncodeCase& c = GetParam();
    EXPECT_EQ(bytesAt(encoded(c.form()), c.at, c.bytes.size()), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Fields, EncodeSaveCommandTest, testing::ValuesIn(kEncodeCases),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(EncodeSaveCommand, EndsWithTheChecksumOfBytesTwoToTwoHundredSevenAndTheTrailer) {
    for (const SaveForm& form : {freshForm(), multipleForm(), singleForm()}) {
        const Block block = encoded(form);
        const unsigned sum = std::accumulate(block.begin() + 2, block.begin() + 208, 0u);
        EXPECT_EQ(block[offset::kChecksum], sum & 0xFF);
        EXPECT_EQ(block[offset::kTrailer], 0xAA);
    }
}

TEST(EncodeSaveCommand, ReadsTheFullStopAndTheLocaleSeparatorAlike) {
    SaveForm form = singleForm();
    form.calibrationTemperature = "-1.5";
    form.calibrationHumidity = "12,345";
    const Block block = encoded(form, ',');
    EXPECT_EQ(bytesAt(block, offset::kCalibrationTemperature, 6),
              (Bytes{0x01, 0x01, 0x32, 0x00, 0x0C, 0x22}));
}

TEST(EncodeSaveCommand, TripInfoNeverSpillsIntoTheAlarmSwitch) {
    SaveForm form = freshForm();
    form.alarm = AlarmChoice::Single;
    form.singleH1 = "1";
    form.singleL1 = "0";
    form.tripInfo = std::string(150, 'x');
    const Block block = encoded(form);
    EXPECT_EQ(bytesAt(block, offset::kTripInfo, width::kTripInfo), Bytes(100, 'x'));
    EXPECT_EQ(block[offset::kAlarmSwitch], 1);
}

TEST(EncodeSaveCommand, AnUntouchedTripTextKeepsTheLoggersLineBreaks) {
    Block held = previousSave();
    std::fill_n(held.begin() + offset::kTripInfo, width::kTripInfo, 0);
    held[offset::kTripInfo] = 'a';
    held[offset::kTripInfo + 1] = '\n'; // a bare LF, as the logger holds it
    held[offset::kTripInfo + 2] = 'b';
    const auto save = [&held](const std::string& memo) {
        SaveForm form = freshForm();
        form.tripInfo = memo;
        Block block = held;
        EXPECT_TRUE(EncodeSaveCommand(form, '.', block));
        return bytesAt(block, offset::kTripInfo, 5);
    };
    EXPECT_EQ(save("a\nb"), (Bytes{'a', 0x0A, 'b', 0, 0}));
    EXPECT_EQ(save("a\nbc"), (Bytes{'a', 0x0D, 0x0A, 'b', 'c'}));
}

TEST(EncodeSaveCommand, ListsWithoutSelectionKeepTheirBytes) {
    SaveForm form = freshForm();
    form.stopMode = -1;
    form.startMode = -1;
    form.probeMode = -1;
    form.celsius = false;
    form.cycleSwitch = -1;
    form.temporaryPdfStartup = -1;
    form.passwordStartup = -1;
    form.password = "abc123";
    const Block block = encoded(form);
    for (std::size_t at :
         {offset::kStopMode, offset::kStartMode, offset::kStartHour, offset::kProbeMode,
          offset::kTemperatureUnit, offset::kCycleSwitch, offset::kTemporaryPdfStartup,
          offset::kPasswordStartup, offset::kPassword}) {
        EXPECT_EQ(block[at], 0x5A) << "byte " << at;
    }
}

struct ConversionCase {
    const char* name;
    std::function<SaveForm()> form;
    char separator;
    const char* message;
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
    *os << c.name;
}

const ConversionCase kConversionCases[] = {
    {"LogIntervalWithoutSelection", with(freshForm, [](SaveForm& f) { f.logIntervalM = ""; }), '.',
     "'' is not a valid integer value"},
    {"FullStopAndCommaTogether",
     with(freshForm, [](SaveForm& f) { f.calibrationTemperature = "1.2,5"; }), ',',
     "'1.2,5' is not a valid number"},
    {"StartYearWithoutSelection",
     with(freshForm,
          [](SaveForm& f) {
              f.startMode = 2;
              f.startTime[0] = "";
          }),
     '.', "'' is not a valid integer value"},
    {"SystemDayWithoutSelection", with(freshForm, [](SaveForm& f) { f.systemTime[2] = ""; }), '.',
     "'' is not a valid integer value"},
    {"TimeZoneWithoutSelection", with(freshForm, [](SaveForm& f) { f.timeZone = ""; }), '.',
     "'' is not a valid integer value"},
    {"AlarmDelayWithoutSelection",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::H2).delay[1] = ""; }), '.',
     "'' is not a valid integer value"},
    {"MultipleLimitNotANumber",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::H3).value = "1-2"; }), '.',
     "'1-2' is not a valid number"},
    {"SingleLimitTooLargeWithoutValidation",
     with(singleForm, [](SaveForm& f) { f.singleH1 = "256"; }), '.', "'256' is out of range"},
    // The last field of the frame fails after every other was converted.
    {"LastLevelFails",
     with(multipleForm, [](SaveForm& f) { row(f, Threshold::HumidityH1).delay[2] = "x"; }), '.',
     "'x' is not a valid integer value"},
};

class ConversionErrorTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionErrorTest, NamesTheTextAndLeavesTheSendBufferUntouched) {
    const ConversionCase& c = GetParam();
    Block sendBuffer = previousSave();
    const Result<void> saved = EncodeSaveCommand(c.form(), c.separator, sendBuffer);
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.failure().message, c.message);
    EXPECT_EQ(sendBuffer, previousSave());
}

INSTANTIATE_TEST_SUITE_P(Texts, ConversionErrorTest, testing::ValuesIn(kConversionCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace korvel::window
