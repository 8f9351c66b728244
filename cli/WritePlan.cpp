#include "cli/WritePlan.h"

#include "protocol/SettingsCodec.h"
#include "protocol/SettingsValidation.h"

#include <tuple>

namespace korvel::cli {

namespace {

using namespace korvel::protocol;

constexpr int kMinutesPerHour = 60;

std::string quotedText(const std::string& text) {
    return settingsfile::QuotedText(text);
}

int zoneMinutes(const TimeZoneSetting& zone) {
    if (const int* minutes = zone.get()) {
        return *minutes;
    }
    const TimeZoneBytes& bytes = *zone.unnamed();
    const int minutes = bytes.hours * kMinutesPerHour + bytes.minutes;
    return bytes.sign == value::kMinus ? -minutes : minutes;
}

auto ordered(const DateTime& t) {
    return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

} // namespace

WritePlan PlanWrite(const settingsfile::SettingsFile& file, const LoggerSettings& reported,
                    bool setSerial) {
    WritePlan plan;
    if (file.Gives(protocol::SettingKey::SerialNumber) &&
        file.settings.serialNumber != reported.serialNumber && !setSerial) {
        plan.otherLogger =
            ("serial_number: the file is for logger " + quotedText(file.settings.serialNumber) +
             " but this logger is " + quotedText(reported.serialNumber) +
             "; to give this logger the file's serial number and calibration, add --set-serial, "
             "else remove serial_number from the file");
    }
    plan.target = settingsfile::ApplySettingsFile(file, reported);
    for (const SettingsProblem& problem : ValidateSettings(plan.target, &reported)) {
        plan.refusals.push_back(problem.Text());
    }
    plan.changes = settingsfile::Changes(reported, plan.target);
    if (file.Gives(protocol::SettingKey::TemperatureUnit) &&
        !file.Gives(protocol::SettingKey::Alarm) &&
        plan.target.temperatureUnit != reported.temperatureUnit) {
        plan.warnings.push_back(
            "temperature_unit changes but the file gives no alarm: limits and calibrations are "
            "never converted, so the logger keeps their numbers in the new unit");
    }
    return plan;
}

DateTime LoggerClock(std::chrono::system_clock::time_point utc, const TimeZoneSetting& zone) {
    using namespace std::chrono;
    const auto local = floor<seconds>(utc) + minutes(zoneMinutes(zone));
    const auto day = floor<days>(local);
    const year_month_day date{day};
    const hh_mm_ss time{local - day};
    return DateTime{static_cast<int>(date.year()),
                    static_cast<std::uint8_t>(static_cast<unsigned>(date.month())),
                    static_cast<std::uint8_t>(static_cast<unsigned>(date.day())),
                    static_cast<std::uint8_t>(time.hours().count()),
                    static_cast<std::uint8_t>(time.minutes().count()),
                    static_cast<std::uint8_t>(time.seconds().count())};
}

std::vector<std::string> ClockWarnings(const LoggerSettings& target, const DateTime& clock) {
    std::vector<std::string> warnings;
    if (target.start.mode == StartMode::Timing && ordered(target.start.at) < ordered(clock)) {
        warnings.push_back("start.at " + DateTimeText(target.start.at) +
                           " is earlier than the clock written (" + DateTimeText(clock) + ")");
    }
    return warnings;
}

Verification VerifyReadBack(const Block& saved, const Block& readBack) {
    const LoggerSettings reported = DecodeSettings(readBack, LevelCoding::Plain);
    // The same bytes back: the logger keeps the packed BCD it was sent.
    const auto asWritten =
        settingsfile::Changes(DecodeSettings(saved, LevelCoding::Plain), reported);
    // The same values back as plain bytes: the logger converted them.
    const auto asPlain =
        settingsfile::Changes(DecodeSettings(saved, LevelCoding::PackedBcd), reported);
    // Only multiple-alarm levels read differently under the two codings.
    Verification verification;
    if (asWritten.empty() && asPlain.empty()) {
        verification.levels = LevelReport::NoLevels;
    } else if (asWritten.empty()) {
        verification.levels = LevelReport::AsWritten;
    } else if (asPlain.empty()) {
        verification.levels = LevelReport::Plain;
    } else {
        verification.differences = asWritten.size() <= asPlain.size() ? asWritten : asPlain;
    }
    return verification;
}

} // namespace korvel::cli
