// A read followed by a save must hand the logger back the block it reported:
// these tests stand in for the window, which moves values between the decoded
// reply, its lists and the save form without any byte decision of its own.

#include "protocol/TimeZone.h"

#include "window/ControlValues.h"
#include "window/SaveForm.h"

#include "protocol/SettingsCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

namespace korvel::window {
namespace {

using namespace korvel::protocol;

using ReadReply = ControlValues;
constexpr auto EncodeSaveCommand = EncodeSaveForm;

ControlValues DecodeReadReply(const Block& block) {
    return ControlValuesOf(DecodeSettings(block));
}

constexpr char kSeparator = '.';

// The text of item `index` of a list whose items count up from `first`; no item
// (an empty text) when the index lies outside the list, as a window list shows it.
std::string itemText(int index, int first, int count, int step = 1) {
    if (index < 0 || index >= count) {
        return "";
    }
    return std::to_string(first + index * step);
}

// Year, month, day, hour, minute, second lists: "2018".."2027", "1".."12", ...
std::array<std::string, 6> dateTimeTexts(const std::array<int, 6>& indices) {
    constexpr int firsts[] = {2018, 1, 1, 0, 0, 0};
    constexpr int counts[] = {10, 12, 31, 24, 60, 60};
    std::array<std::string, 6> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = itemText(indices[i], firsts[i], counts[i]);
    }
    return texts;
}

std::array<std::string, 3> delayTexts(const std::array<int, 3>& indices) {
    return {itemText(indices[0], 0, 24), itemText(indices[1], 0, 60), itemText(indices[2], 0, 60)};
}

// The window right after start-up: first items selected, every row ticked.
SaveForm windowAtStart() {
    SaveForm form;
    form.logIntervalH = form.logIntervalM = form.logIntervalS = "0";
    form.stopMode = form.startMode = form.probeMode = form.cycleSwitch = 0;
    form.temporaryPdfStartup = form.passwordStartup = 0;
    form.startDelayH = form.startDelayM = "0";
    form.startTime = {"2018", "1", "1", "0", "0", "0"};
    form.celsius = true;
    form.timeZone = "UTC+00:00";
    form.calibrationTemperature = form.calibrationHumidity = "0";
    for (ThresholdEntry& row : form.thresholds) {
        row = {true, "", 0, {"0", "0", "0"}};
    }
    return form;
}

// What the window does with a read reply, control by control.
void showReply(const ReadReply& reply, SaveForm& form) {
    form.serialNumber = reply.serialNumber;
    form.logIntervalH = itemText(reply.logIntervalH, 0, 24);
    form.logIntervalM = itemText(reply.logIntervalM, 0, 61);
    form.logIntervalS = itemText(reply.logIntervalS, 0, 6, 10);
    form.stopMode = reply.stopMode.value_or(form.stopMode);
    form.startMode = reply.startMode.value_or(form.startMode);
    if (reply.startDelay) {
        form.startDelayH = itemText(reply.startDelay->hours, 0, 24);
        form.startDelayM = itemText(reply.startDelay->minutes, 0, 60);
    }
    if (reply.startTime) {
        form.startTime = dateTimeTexts(*reply.startTime);
    }
    form.probeMode = reply.probeMode.value_or(form.probeMode);
    if (reply.unit) {
        form.celsius = *reply.unit == TemperatureUnit::Celsius;
        form.fahrenheit = !form.celsius;
    }
    for (int i = 0; i < kTimeZoneCount; ++i) {
        if (TimeZoneItemText(i) == reply.timeZone) {
            form.timeZone = reply.timeZone;
            break;
        }
    }
    form.cycleSwitch = reply.cycleSwitch.value_or(form.cycleSwitch);
    form.calibrationTemperature = DecimalTripleToText(reply.calibrationTemperature, kSeparator);
    form.calibrationHumidity = DecimalTripleToText(reply.calibrationHumidity, kSeparator);
    form.temporaryPdfStartup = reply.temporaryPdfStartup.value_or(form.temporaryPdfStartup);
    form.passwordStartup = reply.passwordStartup.value_or(form.passwordStartup);
    form.password = reply.password.value_or(form.password);
    form.tripInfo = reply.tripInfo;
    form.alarm = reply.alarm.kind;
    if (reply.alarm.kind == AlarmChoice::Single) {
        form.singleL1 = DecimalTripleToText(reply.alarm.singleL1, kSeparator);
        form.singleH1 = DecimalTripleToText(reply.alarm.singleH1, kSeparator);
    }
    if (reply.alarm.kind == AlarmChoice::Multiple) {
        for (std::size_t i = 0; i < kThresholdCount; ++i) {
            const ThresholdReading& reading = reply.alarm.rows[i];
            ThresholdEntry& row = form.thresholds[i];
            row.ticked = reading.present;
            if (reading.present) {
                row.value = DecimalTripleToText(reading.limit, kSeparator);
                row.modeIndex = reading.modeIndex;
                row.delay = delayTexts(reading.delay);
            }
        }
    }
}

const std::array<std::string, 6> kClock = {"2025", "6", "30", "8", "15", "42"};

// Reads `reply` into a fresh window, saves it with the clock at kClock into a
// send buffer that no save has written yet, and returns that save command.
Block saveAfterReading(const Block& reply) {
    SaveForm form = windowAtStart();
    showReply(DecodeReadReply(reply), form);
    form.systemTime = kClock;
    const std::optional<SaveProblem> problem =
        ValidateSave(form, kSeparator, DecodeSettings(reply));
    EXPECT_FALSE(problem) << problem->message;
    Block sendBuffer{};
    const Result<void> saved = EncodeSaveCommand(form, kSeparator, sendBuffer);
    EXPECT_TRUE(saved) << saved.failure().message;
    return sendBuffer;
}

void put(Block& block, std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), block.begin() + at);
}

void putText(Block& block, std::size_t at, std::string_view text) {
    std::copy(text.begin(), text.end(), block.begin() + at);
}

Block replyEnvelope() {
    Block block{};
    put(block, 0, {kHeader0, kHeader1, command::kReadReply, kSaveLength});
    putText(block, offset::kSerialNumber, "KV2024007");
    return block;
}

void switchOff(Block& block, Threshold threshold) {
    std::fill_n(block.begin() + ThresholdOffset(threshold), width::kAlarmLevel, level::kDisabled);
}

// A logger set up for a timed start with a password and a single alarm.
Block singleAlarmReply() {
    Block block = replyEnvelope();
    put(block, offset::kLogIntervalH, {2, 60, 50});
    put(block, offset::kStopMode, {value::kStopByButtonOrSoftware, value::kStartTiming});
    put(block, offset::kStartYear, {27, 2, 29, 23, 59, 1});
    put(block, offset::kProbeMode, {1, 0, 1, 1, 3, 30, 1});
    put(block, offset::kCalibrationTemperature, {1, 0, 5, 0, 255, 99, 1, 1});
    putText(block, offset::kPassword, "pw9Q01");
    putText(block, offset::kTripInfo, "Lot 7\r\nCold chain \xE9tape 3");
    put(block, offset::kAlarmSwitch, {1, 1, 10, 25, 0, 0, 0, 0});
    put(block, offset::kTemperatureH1, {0, 30, 50, 0, 0, 0, 0});
    for (Threshold t : {Threshold::L2, Threshold::H2, Threshold::H3, Threshold::HumidityL1,
                        Threshold::HumidityH1}) {
        switchOff(block, t);
    }
    return block;
}

// A delayed start without password and a multiple alarm whose numbers are below
// ten, where packed BCD and plain bytes agree.
Block multipleAlarmReply() {
    Block block = replyEnvelope();
    put(block, offset::kLogIntervalH, {0, 5, 0});
    put(block, offset::kStopMode, {value::kStopByButton, value::kStartDelayed});
    put(block, offset::kStartHour, {9, 7});
    put(block, offset::kTimeZoneSign, {0, 9, 0});
    put(block, offset::kCalibrationHumidity, {1, 2, 0});
    put(block, offset::kAlarmSwitch, {1});
    put(block, offset::kTemperatureL1, {1, 5, 5, 0, 0, 9, 3});
    put(block, offset::kTemperatureH1, {0, 9, 9, 1, 1, 2, 3});
    put(block, offset::kTemperatureH3, {0, 8, 0, 1, 0, 0, 0});
    put(block, offset::kHumidityL1, {0, 3, 7, 0, 2, 0, 9});
    for (Threshold t : {Threshold::L2, Threshold::H2, Threshold::HumidityH1}) {
        switchOff(block, t);
    }
    return block;
}

void expectSavedAsRead(const Block& reply) {
    const Block saved = saveAfterReading(reply);
    for (std::size_t at = offset::kLength; at < offset::kChecksum; ++at) {
        if (at >= offset::kSystemYear && at <= offset::kSystemSecond) {
            continue;
        }
        EXPECT_EQ(saved[at], reply[at]) << "byte " << at;
    }
    EXPECT_EQ(saved[offset::kCommand], command::kSave);
    EXPECT_EQ(saved[offset::kSystemYear], 25);
    EXPECT_EQ(saved[offset::kSystemSecond], 42);
    EXPECT_TRUE(CheckFrame(saved.data(), saved.size()));
}

TEST(ReadThenSave, GivesBackASingleAlarmBlock) {
    expectSavedAsRead(singleAlarmReply());
}

TEST(ReadThenSave, GivesBackAMultipleAlarmBlock) {
    expectSavedAsRead(multipleAlarmReply());
}

TEST(ReadThenSave, ShowsASavedSingleAlarmAsSingleAgain) {
    SaveForm form = windowAtStart();
    form.serialNumber = "KV2024007";
    form.systemTime = kClock;
    form.alarm = AlarmChoice::Single;
    form.singleH1 = "30.5";
    form.singleL1 = "-10.25";
    Block block{};
    ASSERT_TRUE(EncodeSaveCommand(form, kSeparator, block));

    block[offset::kCommand] = command::kReadReply;
    const AlarmReading alarm = DecodeReadReply(block).alarm;
    EXPECT_EQ(alarm.kind, AlarmChoice::Single);
    EXPECT_EQ(alarm.singleH1, (DecimalTriple{0, 30, 50}));
    EXPECT_EQ(alarm.singleL1, (DecimalTriple{1, 10, 25}));
}

} // namespace
} // namespace korvel::window
