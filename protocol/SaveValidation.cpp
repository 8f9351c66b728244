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

SaveProblem outOfRange(Field field, std::string_view name) {
    return fieldProblem(field, name, " is out of range");
}

// A value the save writes, after its emptiness rule: no number at all ends the
// save as a conversion error; a number its bytes cannot carry is refused.
std::optional<SaveProblem> checkNumber(Field field, std::string_view name, std::string_view text,
                                       char separator, unsigned integerMax) {
    const Result<DecimalTriple> triple = DecimalTripleFromText(text, separator, integerMax);
    if (triple) {
        return std::nullopt;
    }
    if (triple.failure().kind == Failure::Kind::OutOfRange) {
        return outOfRange(field, name);
    }
    return SaveProblem{field, triple.failure().message, SaveProblem::Kind::NotANumber};
}

// A calibration or a single-alarm limit, every check at its turn.
std::optional<SaveProblem> checkValue(Field field, std::string_view name, std::string_view text,
                                      char separator) {
    if (isEmptyOrLoneMinus(text)) {
        return cannotBeEmpty(field, name);
    }
    return checkNumber(field, name, text, separator, kPlainByteMax);
}

std::optional<SaveProblem> checkRow(Threshold threshold, ThresholdEntry row, char separator) {
    row.ticked = row.ticked || !IsOptional(threshold);
    const Field field = fieldOf(threshold);
    const std::string_view name = ThresholdName(threshold);
    if (rowIsMissing(row)) {
        return cannotBeEmpty(field, name);
    }
    // An unticked row is sent as disabled, so its text is never read as a number.
    if (!row.ticked) {
        return std::nullopt;
    }
    return checkNumber(field, name, row.value, separator, kPackedBcdMax);
}

} // namespace

std::optional<SaveProblem> ValidateSave(const SaveForm& form, char separator) {
    if (form.serialNumber.size() != kSerialNumberLength) {
        return SaveProblem{Field::SerialNumber,
                           "The Serial Number can not be empty and the Serial Number length is 9"};
    }
    if (auto problem = checkValue(Field::CalibrationTemperature, "Calibration Temperature",
                                  form.calibrationTemperature, separator)) {
        return problem;
    }
    if (auto problem = checkValue(Field::CalibrationHumidity, "Calibration Humidity",
                                  form.calibrationHumidity, separator)) {
        return problem;
    }
    if (form.passwordStartup == kPasswordEnabledIndex && form.password.size() != kPasswordLength) {
        return SaveProblem{Field::Password,
                           "The Password can not be empty and the Password length is 6"};
    }
    if (form.alarm == AlarmChoice::Multiple) {
        for (Threshold threshold : kRowOrder) {
            if (auto problem = checkRow(threshold, form.thresholds[Index(threshold)], separator)) {
                return problem;
            }
        }
    }
    if (form.alarm == AlarmChoice::Single) {
        if (auto problem = checkValue(Field::SingleH1, ThresholdName(Threshold::H1), form.singleH1,
                                      separator)) {
            return problem;
        }
        if (auto problem = checkValue(Field::SingleL1, ThresholdName(Threshold::L1), form.singleL1,
                                      separator)) {
            return problem;
        }
    }
    return std::nullopt;
}

} // namespace korvel::protocol
