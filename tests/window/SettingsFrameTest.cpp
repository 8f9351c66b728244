#include "window/SaveForm.h"

#include "protocol/TimeZone.h"
#include "tests/protocol/SettingsCases.h"

#include <gtest/gtest.h>

namespace korvel::window {
namespace {

using namespace korvel::protocol;
using namespace korvel::protocol::testing_cases;
using testing_cases::level;

// ---- The same frame as the window's encoder ----

std::string number(unsigned value) {
    return std::to_string(value);
}

std::array<std::string, 6> dateTimeTexts(const DateTime& t) {
    return {std::to_string(t.year), number(t.month),  number(t.day),
            number(t.hour),         number(t.minute), number(t.second)};
}

// What the window's controls hold for `settings`: texts, list indices and ticks.
// Controls that the chosen modes do not use hold texts of their own.
SaveForm formOf(const LoggerSettings& settings, const DateTime& clock) {
    SaveForm form;
    form.serialNumber = settings.serialNumber;
    form.logIntervalH = number(settings.logInterval.hours);
    form.logIntervalM = number(settings.logInterval.minutes);
    form.logIntervalS = number(settings.logInterval.seconds);
    form.stopMode = static_cast<int>(settings.stopMode.value());
    form.startMode = static_cast<int>(settings.start.mode.value());
    form.startDelayH = number(settings.start.delay.hours);
    form.startDelayM = number(settings.start.delay.minutes);
    form.startTime = dateTimeTexts(settings.start.at);
    form.probeMode = static_cast<int>(settings.probeMode.value());
    form.celsius = settings.temperatureUnit == TemperatureUnit::Celsius;
    form.fahrenheit = !form.celsius;
    form.timeZone = TimeZoneText(TimeZoneBytesOf(settings.timeZone.value()));
    form.cycleSwitch = static_cast<int>(settings.cycleSwitch.value());
    form.calibrationTemperature = DecimalText(settings.calibration.temperature.value());
    form.calibrationHumidity = DecimalText(settings.calibration.humidity.value());
    form.temporaryPdfStartup = settings.temporaryPdf.value() ? 1 : 0;
    const std::optional<std::string>& password = settings.password.value();
    form.passwordStartup = password ? 1 : 0;
    form.password = password.value_or("stale9");
    form.systemTime = dateTimeTexts(clock);
    form.tripInfo = settings.tripInformation;
    form.alarm = settings.alarm.kind;
    form.singleL1 = DecimalText(settings.alarm.low.value());
    form.singleH1 = DecimalText(settings.alarm.high.value());
    const AlarmLevel stale{{false, 750}, AlarmMode::Cumulative, {1, 2, 3}};
    for (std::size_t i = 0; i < kThresholdCount; ++i) {
        const std::optional<LevelSetting>& setting = settings.alarm.levels[i];
        const AlarmLevel& shown = setting ? setting->value() : stale;
        ThresholdEntry& row = form.thresholds[i];
        row.ticked = setting.has_value();
        row.value = DecimalText(shown.limit);
        row.modeIndex = static_cast<int>(shown.mode);
        row.delay = {number(shown.delay.hours), number(shown.delay.minutes),
                     number(shown.delay.seconds)};
    }
    return form;
}

class SettingsFrameTest : public testing::TestWithParam<FrameCase> {};

TEST_P(SettingsFrameTest, IsTheFrameTheWindowBuilds) {
    const LoggerSettings settings = GetParam().settings();
    Block windowFrame = patterned();
    ASSERT_TRUE(EncodeSaveForm(formOf(settings, kClock), '.', windowFrame));

    EXPECT_EQ(differences(EncodeSaveFrame(settings, patterned(), kClock), windowFrame), "");
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsFrameTest, testing::ValuesIn(kFrameCases),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace korvel::window
