#include "protocol/Numbers.h"
#include "protocol/SaveCommand.h"

#include <string>
#include <string_view>
#include <utility>

namespace korvel::protocol {

namespace {

constexpr std::size_t kSerialNumberLength = width::kSerialNumber;
constexpr std::size_t kPasswordLength = width::kPassword;
constexpr int kPasswordEnabledIndex = 1;

// The order in which the window's rows are checked: top to bottom as the panel shows them.
constexpr Threshold kRowOrder[] = {Threshold::H3,        Threshold::H2, Threshold::H1,
                                   Threshold::L1,        Threshold::L2, Threshold::HumidityH1,
                                   Threshold::HumidityL1};

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

// Built by appending: GCC 12 warns falsely (-Wrestrict) about "The " + std::string.
SaveProblem fieldProblem(Field field, std::string_view name, std::string_view rest) {
    std::string message = "The ";
    message.append(name);
    message.append(rest);
    return {field, std::move(message)};
}

SaveProblem cannotBeEmpty(Field field, std::string_view name) {
    return fieldProblem(field, name, " can not be empty");
}

// A value the user must give: a ticked row, or a row without a check box.
// A lone minus is refused even in an unticked row, which the save does not write.
bool rowIsMissing(const ThresholdEntry& row) {
    return (row.ticked && trimmed(row.value).empty()) || isLoneMinus(row.value);
}

std::optional<SaveProblem> firstEmptyField(const SaveForm& form) {
    if (form.serialNumber.size() != kSerialNumberLength) {
        return SaveProblem{Field::SerialNumber,
                           "The Serial Number can not be empty and the Serial Number length is 9"};
    }
    if (isEmptyOrLoneMinus(form.calibrationTemperature)) {
        return cannotBeEmpty(Field::CalibrationTemperature, "Calibration Temperature");
    }
    if (isEmptyOrLoneMinus(form.calibrationHumidity)) {
        return cannotBeEmpty(Field::CalibrationHumidity, "Calibration Humidity");
    }
    if (form.passwordStartup == kPasswordEnabledIndex && form.password.size() != kPasswordLength) {
        return SaveProblem{Field::Password,
                           "The Password can not be empty and the Password length is 6"};
    }
    if (form.alarm == AlarmChoice::Multiple) {
        for (Threshold threshold : kRowOrder) {
            ThresholdEntry row = form.thresholds[Index(threshold)];
            row.ticked = row.ticked || !IsOptional(threshold);
            if (rowIsMissing(row)) {
                return cannotBeEmpty(fieldOf(threshold), ThresholdName(threshold));
            }
        }
    }
    if (form.alarm == AlarmChoice::Single) {
        if (isEmptyOrLoneMinus(form.singleH1)) {
            return cannotBeEmpty(Field::SingleH1, ThresholdName(Threshold::H1));
        }
        if (isEmptyOrLoneMinus(form.singleL1)) {
            return cannotBeEmpty(Field::SingleL1, ThresholdName(Threshold::L1));
        }
    }
    return std::nullopt;
}

// Only a number too large for its bytes is refused here; one that is no number at
// all fails the encoding with a message that names the text.
bool exceeds(std::string_view text, char decimalSeparator, unsigned integerMax) {
    const Result<DecimalTriple> triple = DecimalTripleFromText(text, decimalSeparator, integerMax);
    return !triple && triple.failure().kind == Failure::Kind::OutOfRange;
}

SaveProblem outOfRange(Field field, std::string_view name) {
    return fieldProblem(field, name, " is out of range");
}

std::optional<SaveProblem> firstValueOutOfRange(const SaveForm& form, char separator) {
    if (exceeds(form.calibrationTemperature, separator, kPlainByteMax)) {
        return outOfRange(Field::CalibrationTemperature, "Calibration Temperature");
    }
    if (exceeds(form.calibrationHumidity, separator, kPlainByteMax)) {
        return outOfRange(Field::CalibrationHumidity, "Calibration Humidity");
    }
    if (form.alarm == AlarmChoice::Multiple) {
        for (Threshold threshold : kRowOrder) {
            const ThresholdEntry& row = form.thresholds[Index(threshold)];
            const bool written = row.ticked || !IsOptional(threshold);
            if (written && exceeds(row.value, separator, kPackedBcdMax)) {
                return outOfRange(fieldOf(threshold), ThresholdName(threshold));
            }
        }
    }
    if (form.alarm == AlarmChoice::Single) {
        if (exceeds(form.singleH1, separator, kPlainByteMax)) {
            return outOfRange(Field::SingleH1, ThresholdName(Threshold::H1));
        }
        if (exceeds(form.singleL1, separator, kPlainByteMax)) {
            return outOfRange(Field::SingleL1, ThresholdName(Threshold::L1));
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<SaveProblem> ValidateSave(const SaveForm& form, char decimalSeparator) {
    if (auto problem = firstEmptyField(form)) {
        return problem;
    }
    return firstValueOutOfRange(form, decimalSeparator);
}

} // namespace korvel::protocol
