#pragma once
// The save as the window's controls hold it: their texts and list indices at the
// moment of a save (SaveForm), the checks that refuse it with the user's messages
// (ValidateSave), and the settings and clock those texts stand for (ValuesOfForm),
// which protocol::EncodeSaveFrame turns into the frame. No widget here.
//
// Texts are one byte per character (Latin-1), as the window converts them.

#include "protocol/LoggerSettings.h"
#include "protocol/ParameterBlock.h"
#include "protocol/Result.h"

#include <QString>

#include <array>
#include <optional>
#include <string>

namespace korvel::window {

// The multiple-alarm panel's rows top to bottom: the order the panel shows them
// (kThresholdRows follows it) and the order the save checks them.
inline constexpr std::array<protocol::Threshold, protocol::kThresholdCount> kPanelRowOrder = {
    protocol::Threshold::H3,        protocol::Threshold::H2, protocol::Threshold::H1,
    protocol::Threshold::L1,        protocol::Threshold::L2, protocol::Threshold::HumidityH1,
    protocol::Threshold::HumidityL1};

// One row of the multiple-alarm panel as the save reads it.
struct ThresholdEntry {
    bool ticked = true; // L1 and H1 have no check box and count as ticked
    std::string value;  // the value edit's text
    int modeIndex = 0;  // 0 "Single"; any other index, none included, writes "Cumulative"
    std::array<std::string, 3> delay; // texts of the hours, minutes, seconds lists
};

// List texts are those of the selected item, empty without a selection; list
// indices are -1 without a selection.
struct SaveForm {
    std::string serialNumber;
    std::string logIntervalH;
    std::string logIntervalM;
    std::string logIntervalS; // seconds, "0" to "50"
    int stopMode = -1;
    int startMode = -1;
    std::string startDelayH;
    std::string startDelayM;
    std::array<std::string, 6> startTime; // year ("2019"), month, day, hour, minute, second
    int probeMode = -1;
    bool celsius = false;    // rbC selected
    bool fahrenheit = false; // rbF selected
    std::string timeZone;    // the selected item, e.g. "UTC+05:30"
    int cycleSwitch = -1;
    std::string calibrationTemperature;
    std::string calibrationHumidity;
    int temporaryPdfStartup = -1;
    int passwordStartup = -1;
    std::string password;
    std::array<std::string, 6> systemTime; // as startTime
    // As the memo shows it, Latin-1 with "\n" line breaks; saved by the trip-text
    // rule (TripBytesOf), so an untouched text keeps the logger's bytes.
    std::string tripInfo;
    protocol::AlarmChoice alarm = protocol::AlarmChoice::None;
    std::string singleH1;
    std::string singleL1;
    std::array<ThresholdEntry, protocol::kThresholdCount>
        thresholds; // indexed by protocol::Index(Threshold)
};

// The control a refused save puts the focus on.
enum class Field {
    SerialNumber,
    CalibrationTemperature,
    CalibrationHumidity,
    Password,
    TemperatureH3,
    TemperatureH2,
    TemperatureH1,
    TemperatureL1,
    TemperatureL2,
    HumidityH1,
    HumidityL1,
    SingleH1,
    SingleL1,
};

struct SaveProblem {
    // Refused: the window moves the focus to the field and shows the message as
    // information. NotANumber: a value text that is no number, which ends the save
    // as any conversion error does, its message naming the text.
    enum class Kind { Refused, NotANumber };
    Field field;
    // e.g. "The Temperature H3 can not be empty", "'1-2' is not a valid number"
    std::string message;
    Kind kind = Kind::Refused;
    // The message as its English pattern and what fills the pattern's %1: the
    // field's English name when refused, the text itself when it is no number;
    // empty for a pattern without %1.
    const char* pattern = "";
    std::string subject;
};

// The problem's message in the user's language; `message` where it is English.
QString ProblemText(const SaveProblem& problem);

// The first reason to refuse the save, or nothing. The fields are checked in the
// window's order: serial number, calibrations, password, the multiple-alarm rows
// H3, H2, H1, L1, L2, humidity H1, humidity L1, then the single-alarm H1 and L1.
// Each value the save writes gets all its checks at its own turn: empty or a lone
// minus, then no number at all (NotANumber), then an integer part its bytes cannot
// carry ("The Calibration Temperature is out of range"): above 255 for plain
// bytes, above 99 for the packed BCD of the multiple-alarm rows. An unticked row
// is not written and only refused for a lone minus. Last, a single alarm whose
// L1 is above its H1 is refused at L1 (protocol::AlarmLimitsCross, the settings
// file's rule too), unless `held` (the logger's own settings: the last read, or
// what the last Open put over it) has exactly those two limits, so that a
// logger left in that state can still be saved back. Both the full stop and
// `decimalSeparator` are read as the decimal character.
std::optional<SaveProblem> ValidateSave(const SaveForm& form, char decimalSeparator,
                                        const protocol::LoggerSettings& held);

struct SaveValues {
    protocol::LoggerSettings settings;
    protocol::DateTime clock; // the System Time lists
};

// The settings and clock the form stands for, on top of `unchanged` (the settings
// of the last frame sent), which keeps every setting whose list has no selection
// and every part the chosen modes leave unused. Expects a form that ValidateSave
// accepted. Texts become values in frame order; the first that is no number
// ("'' is not a valid integer value") or does not fit its byte is the failure.
protocol::Result<SaveValues> ValuesOfForm(const SaveForm& form, char decimalSeparator,
                                          const protocol::LoggerSettings& unchanged);

// The save: ValuesOfForm over the settings of `sendBuffer`, encoded over it. On
// success `sendBuffer` holds the whole 210-byte frame; a failure leaves it as it was.
protocol::Result<void> EncodeSaveForm(const SaveForm& form, char decimalSeparator,
                                      protocol::Block& sendBuffer);

} // namespace korvel::window
