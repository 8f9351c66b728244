#include "window/SaveForm.h"

#include "protocol/Numbers.h"
#include "window/Catalogue.h"

#include "protocol/SettingsCodec.h"
#include "protocol/SettingsText.h"
#include "protocol/SettingsValidation.h"
#include "protocol/TimeZone.h"

#include <QCoreApplication>

#include <string>
#include <string_view>
#include <utility>

namespace korvel::window {

using protocol::AlarmChoice;
using protocol::DecimalTriple;
using protocol::DecimalTripleFromText;
using protocol::Failure;
using protocol::Index;
using protocol::IsOptional;
using protocol::kPackedBcdMax;
using protocol::kPlainByteMax;
using protocol::Result;
using protocol::Threshold;
namespace width = protocol::width;

namespace {

constexpr std::size_t kSerialNumberLength = width::kSerialNumber;
constexpr std::size_t kPasswordLength = width::kPassword;
constexpr int kPasswordEnabledIndex = catalogue::IndexOf(catalogue::kStartups, true);

// The messages of a refused save; %1 is the field's name or the offending text.
constexpr const char* kCannotBeEmpty = QT_TRANSLATE_NOOP("SaveForm", "The %1 can not be empty");
constexpr const char* kOutOfRange = QT_TRANSLATE_NOOP("SaveForm", "The %1 is out of range");
constexpr const char* kNotANumber = QT_TRANSLATE_NOOP("SaveForm", "'%1' is not a valid number");
constexpr const char* kSerialNumberWrong = QT_TRANSLATE_NOOP(
    "SaveForm", "The Serial Number can not be empty and the Serial Number length is 9");
constexpr const char* kLowAboveHigh =
    QT_TRANSLATE_NOOP("SaveForm", "The Temperature L1 can not be above the Temperature H1");
constexpr const char* kPasswordWrong =
    QT_TRANSLATE_NOOP("SaveForm", "The Password can not be empty and the Password length is 6");

// The name a message gives a value field.
const char* fieldName(Field field) {
    switch (field) {
    case Field::SerialNumber:
        return QT_TRANSLATE_NOOP("SaveForm", "Serial Number");
    case Field::CalibrationTemperature:
        return QT_TRANSLATE_NOOP("SaveForm", "Calibration Temperature");
    case Field::CalibrationHumidity:
        return QT_TRANSLATE_NOOP("SaveForm", "Calibration Humidity");
    case Field::Password:
        return QT_TRANSLATE_NOOP("SaveForm", "Password");
    case Field::TemperatureH3:
        return QT_TRANSLATE_NOOP("SaveForm", "Temperature H3");
    case Field::TemperatureH2:
        return QT_TRANSLATE_NOOP("SaveForm", "Temperature H2");
    case Field::TemperatureH1:
    case Field::SingleH1:
        return QT_TRANSLATE_NOOP("SaveForm", "Temperature H1");
    case Field::TemperatureL1:
    case Field::SingleL1:
        return QT_TRANSLATE_NOOP("SaveForm", "Temperature L1");
    case Field::TemperatureL2:
        return QT_TRANSLATE_NOOP("SaveForm", "Temperature L2");
    case Field::HumidityH1:
        return QT_TRANSLATE_NOOP("SaveForm", "Humidity H1");
    case Field::HumidityL1:
        break;
    }
    return QT_TRANSLATE_NOOP("SaveForm", "Humidity L1");
}

// The English message is the pattern with its %1 filled.
SaveProblem problemOf(Field field, const char* pattern, std::string subject = {},
                      SaveProblem::Kind kind = SaveProblem::Kind::Refused) {
    std::string message = pattern;
    if (const std::size_t at = message.find("%1"); at != std::string::npos) {
        message.replace(at, 2, subject);
    }
    return {field, std::move(message), kind, pattern, std::move(subject)};
}

Field fieldOf(Threshold threshold) {
    switch (threshold) {
    case Threshold::L1:
        return Field::TemperatureL1;
    case Threshold::L2:
        return Field::TemperatureL2;
    case Threshold::H1:
        return Field::TemperatureH1;
    case Threshold::H2:
        return Field::TemperatureH2;
    case Threshold::H3:
        return Field::TemperatureH3;
    case Threshold::HumidityL1:
        return Field::HumidityL1;
    case Threshold::HumidityH1:
        return Field::HumidityH1;
    }
    return Field::TemperatureL1;
}

bool isSpaceOrControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpaceOrControl(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpaceOrControl(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool isLoneMinus(std::string_view text) {
    return trimmed(text) == "-";
}

bool isEmptyOrLoneMinus(std::string_view text) {
    return trimmed(text).empty() || isLoneMinus(text);
}

SaveProblem cannotBeEmpty(Field field) {
    return problemOf(field, kCannotBeEmpty, fieldName(field));
}

// A value the user must give: a ticked row, or a row without a check box.
// A lone minus is refused even in an unticked row, which the save does not write.
bool rowIsMissing(const ThresholdEntry& row) {
    return (row.ticked && trimmed(row.value).empty()) || isLoneMinus(row.value);
}

SaveProblem outOfRange(Field field) {
    return problemOf(field, kOutOfRange, fieldName(field));
}

// A value the save writes, after its emptiness rule: no number at all ends the
// save as a conversion error; a number its bytes cannot carry is refused.
std::optional<SaveProblem> checkNumber(Field field, std::string_view text, char separator,
                                       unsigned integerMax) {
    const Result<DecimalTriple> triple = DecimalTripleFromText(text, separator, integerMax);
    if (triple) {
        return std::nullopt;
    }
    if (triple.failure().kind == Failure::Kind::OutOfRange) {
        return outOfRange(field);
    }
    return problemOf(field, kNotANumber, std::string(text), SaveProblem::Kind::NotANumber);
}

// A calibration or a single-alarm limit, every check at its turn.
std::optional<SaveProblem> checkValue(Field field, std::string_view text, char separator) {
    if (isEmptyOrLoneMinus(text)) {
        return cannotBeEmpty(field);
    }
    return checkNumber(field, text, separator, kPlainByteMax);
}

// A value text that checkValue accepted, as a number.
protocol::Decimal decimalOf(std::string_view text, char separator) {
    const Result<DecimalTriple> read = DecimalTripleFromText(text, separator, kPlainByteMax);
    const DecimalTriple triple = read ? *read : DecimalTriple{};
    return {triple.sign != 0, triple.integer * 100U + triple.hundredths};
}

std::optional<SaveProblem> checkRow(Threshold threshold, ThresholdEntry row, char separator) {
    row.ticked = row.ticked || !IsOptional(threshold);
    const Field field = fieldOf(threshold);
    if (rowIsMissing(row)) {
        return cannotBeEmpty(field);
    }
    // An unticked row is sent as disabled, so its text is never read as a number.
    if (!row.ticked) {
        return std::nullopt;
    }
    return checkNumber(field, row.value, separator, kPackedBcdMax);
}

} // namespace

QString ProblemText(const SaveProblem& problem) {
    QString text = QCoreApplication::translate("SaveForm", problem.pattern);
    if (problem.subject.empty()) {
        return text;
    }
    // A field's name is translated; a text the user typed is shown as typed.
    const QString subject = problem.kind == SaveProblem::Kind::Refused
                                ? QCoreApplication::translate("SaveForm", problem.subject.c_str())
                                : QString::fromLatin1(problem.subject);
    return text.arg(subject);
}

std::optional<SaveProblem> ValidateSave(const SaveForm& form, char separator,
                                        const protocol::LoggerSettings& held) {
    if (form.serialNumber.size() != kSerialNumberLength) {
        return problemOf(Field::SerialNumber, kSerialNumberWrong);
    }
    if (auto problem =
            checkValue(Field::CalibrationTemperature, form.calibrationTemperature, separator)) {
        return problem;
    }
    if (auto problem =
            checkValue(Field::CalibrationHumidity, form.calibrationHumidity, separator)) {
        return problem;
    }
    if (form.passwordStartup == kPasswordEnabledIndex && form.password.size() != kPasswordLength) {
        return problemOf(Field::Password, kPasswordWrong);
    }
    if (form.alarm == AlarmChoice::Multiple) {
        for (Threshold threshold : kPanelRowOrder) {
            if (auto problem = checkRow(threshold, form.thresholds[Index(threshold)], separator)) {
                return problem;
            }
        }
    }
    if (form.alarm == AlarmChoice::Single) {
        if (auto problem = checkValue(Field::SingleH1, form.singleH1, separator)) {
            return problem;
        }
        if (auto problem = checkValue(Field::SingleL1, form.singleL1, separator)) {
            return problem;
        }
        const protocol::Decimal low = decimalOf(form.singleL1, separator);
        const protocol::Decimal high = decimalOf(form.singleH1, separator);
        const bool heldByTheLogger = held.alarm.low == protocol::DecimalSetting(low) &&
                                     held.alarm.high == protocol::DecimalSetting(high);
        if (protocol::AlarmLimitsCross(low, high) && !heldByTheLogger) {
            return problemOf(Field::SingleL1, kLowAboveHigh);
        }
    }
    return std::nullopt;
}

namespace {

// Turns texts into values in frame order and keeps the first failure; reads
// after a failure are skipped, as their values are discarded.
class TextReader {
public:
    explicit TextReader(char separator) : separator_(separator) {}

    std::uint8_t byte(std::string_view text) {
        return take(protocol::ByteFromText(text), std::uint8_t{0});
    }

    // Year lists show four digits ("2019"); any integer is read.
    int year(std::string_view text) {
        const Result<long long> number = protocol::IntegerFromText(text);
        return static_cast<int>(take(number, 0LL));
    }

    // A delay list's number, which the multiple alarm writes as packed BCD.
    std::uint8_t bcdNumber(std::string_view text) {
        const Result<long long> number = protocol::IntegerFromText(text);
        if (number && (*number < 0 || *number > static_cast<long long>(kPackedBcdMax))) {
            return take(Result<std::uint8_t>(protocol::OutOfRangeFailure(text)), std::uint8_t{0});
        }
        return static_cast<std::uint8_t>(take(number, 0LL));
    }

    protocol::Decimal decimal(std::string_view text, unsigned integerMax = kPlainByteMax) {
        const DecimalTriple triple =
            take(DecimalTripleFromText(text, separator_, integerMax), DecimalTriple{});
        return {triple.sign != 0, triple.integer * 100U + triple.hundredths};
    }

    protocol::DateTime dateTime(const std::array<std::string, 6>& texts) {
        protocol::DateTime time;
        time.year = year(texts[0]);
        time.month = byte(texts[1]);
        time.day = byte(texts[2]);
        time.hour = byte(texts[3]);
        time.minute = byte(texts[4]);
        time.second = byte(texts[5]);
        return time;
    }

    void fail(const Failure& failure) { take(Result<int>(failure), 0); }

    const std::optional<Failure>& failure() const { return failure_; }

private:
    template <typename T> T take(const Result<T>& result, T fallback) {
        if (failure_ || !result) {
            if (!failure_) {
                failure_ = result.failure();
            }
            return fallback;
        }
        return *result;
    }

    char separator_;
    std::optional<Failure> failure_;
};

// A list's choice, or what `unchanged` held when the list has no selection.
template <typename T, std::size_t N>
protocol::Coded<T> chosen(const std::array<catalogue::Item<T>, N>& items, int index,
                          const protocol::Coded<T>& unchanged) {
    if (const std::optional<T> value = catalogue::ValueAt(items, index)) {
        return *value;
    }
    return unchanged;
}

void readSchedule(const SaveForm& form, TextReader& in, protocol::LoggerSettings& settings) {
    settings.logInterval = {in.byte(form.logIntervalH), in.byte(form.logIntervalM),
                            in.byte(form.logIntervalS)};
    settings.stopMode = chosen(catalogue::kStopModes, form.stopMode, settings.stopMode);
    settings.start.mode = chosen(catalogue::kStartModes, form.startMode, settings.start.mode);
    if (catalogue::ValueAt(catalogue::kStartModes, form.startMode) ==
        protocol::StartMode::Delayed) {
        settings.start.delay = {in.byte(form.startDelayH), in.byte(form.startDelayM)};
    } else if (catalogue::ValueAt(catalogue::kStartModes, form.startMode) ==
               protocol::StartMode::Timing) {
        settings.start.at = in.dateTime(form.startTime);
    }
}

void readDevice(const SaveForm& form, TextReader& in, protocol::LoggerSettings& settings) {
    settings.probeMode = chosen(catalogue::kProbeModes, form.probeMode, settings.probeMode);
    if (form.celsius) {
        settings.temperatureUnit = protocol::TemperatureUnit::Celsius;
    } else if (form.fahrenheit) {
        settings.temperatureUnit = protocol::TemperatureUnit::Fahrenheit;
    }
    const Result<protocol::TimeZoneBytes> zone = protocol::TimeZoneFromText(form.timeZone);
    if (zone) {
        settings.timeZone = protocol::TimeZoneOf(*zone);
    } else {
        in.fail(zone.failure());
    }
    settings.cycleSwitch =
        chosen(catalogue::kCycleSwitches, form.cycleSwitch, settings.cycleSwitch);
    settings.calibration.temperature = in.decimal(form.calibrationTemperature);
    settings.calibration.humidity = in.decimal(form.calibrationHumidity);
    settings.temporaryPdf =
        chosen(catalogue::kStartups, form.temporaryPdfStartup, settings.temporaryPdf);
    if (const std::optional<bool> startup =
            catalogue::ValueAt(catalogue::kStartups, form.passwordStartup)) {
        settings.password = *startup ? std::optional<std::string>(form.password) : std::nullopt;
    }
}

void readAlarm(const SaveForm& form, TextReader& in, protocol::Alarm& alarm) {
    alarm.kind = form.alarm;
    if (form.alarm == AlarmChoice::Single) {
        // Frame order: L1's block comes before H1's.
        alarm.low = in.decimal(form.singleL1);
        alarm.high = in.decimal(form.singleH1);
    }
    if (form.alarm != AlarmChoice::Multiple) {
        return;
    }
    for (std::size_t i = 0; i < protocol::kThresholdCount; ++i) {
        const ThresholdEntry& row = form.thresholds[i];
        if (IsOptional(static_cast<Threshold>(i)) && !row.ticked) {
            alarm.levels[i].reset();
            continue;
        }
        protocol::AlarmLevel level;
        level.limit = in.decimal(row.value, kPackedBcdMax);
        // Any index but the first, none included, is "Cumulative".
        level.mode =
            row.modeIndex == 0 ? protocol::AlarmMode::Single : protocol::AlarmMode::Cumulative;
        level.delay = {in.bcdNumber(row.delay[0]), in.bcdNumber(row.delay[1]),
                       in.bcdNumber(row.delay[2])};
        alarm.levels[i] = level;
    }
}

} // namespace

Result<SaveValues> ValuesOfForm(const SaveForm& form, char decimalSeparator,
                                const protocol::LoggerSettings& unchanged) {
    TextReader in(decimalSeparator);
    SaveValues values{unchanged, {}};
    protocol::LoggerSettings& settings = values.settings;
    settings.serialNumber = form.serialNumber;
    readSchedule(form, in, settings);
    readDevice(form, in, settings);
    values.clock = in.dateTime(form.systemTime);
    settings.tripInformation = protocol::TripBytesOf(form.tripInfo, unchanged.tripInformation);
    readAlarm(form, in, settings.alarm);
    if (in.failure()) {
        return *in.failure();
    }
    return values;
}

Result<void> EncodeSaveForm(const SaveForm& form, char decimalSeparator,
                            protocol::Block& sendBuffer) {
    // Lists without a selection keep what the last frame sent held.
    const Result<SaveValues> values =
        ValuesOfForm(form, decimalSeparator, protocol::DecodeSettings(sendBuffer));
    if (!values) {
        return values.failure();
    }
    sendBuffer = protocol::EncodeSaveFrame(values->settings, sendBuffer, values->clock);
    return {};
}

} // namespace korvel::window
