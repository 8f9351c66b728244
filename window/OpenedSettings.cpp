#include "window/OpenedSettings.h"

#include "protocol/SettingsCodec.h"
#include "protocol/SettingsValidation.h"
#include "protocol/TimeZone.h"
#include "settingsfile/SettingsFile.h"
#include "window/Catalogue.h"

namespace korvel::window {
namespace {

// Values the logger takes but no list item stands for. A control without a
// selection would keep its old setting at the next save, so the file's value
// would be lost without a word.
std::vector<settingsfile::FileError> NotOffered(const settingsfile::SettingsFile& file) {
    std::vector<settingsfile::FileError> problems;
    const protocol::LoggerSettings& given = file.settings;
    if (file.Gives(protocol::SettingKey::TimeZone) && given.timeZone.named()) {
        const int minutes = given.timeZone.value();
        const int index = minutes / protocol::kTimeZoneStepMinutes + protocol::kUtcIndex;
        if (minutes % protocol::kTimeZoneStepMinutes != 0 || index < 0 ||
            index >= protocol::kTimeZoneCount) {
            problems.push_back(
                {std::string(protocol::KeyPath(protocol::SettingKey::TimeZone)),
                 protocol::TimeZoneText(protocol::TimeZoneBytesOf(minutes)) +
                     " is not in the window's list (" + protocol::TimeZoneItemText(0) + " to " +
                     protocol::TimeZoneItemText(protocol::kTimeZoneCount - 1) + ")"});
        }
    }
    if (file.Gives(protocol::SettingKey::Start) &&
        given.start.mode == protocol::StartMode::Timing) {
        const int year = given.start.at.year;
        if (year < kFirstListYear || year > kLastListYear) {
            problems.push_back({std::string(protocol::KeyPath(protocol::SettingKey::Start)) + ".at",
                                "the year " + std::to_string(year) +
                                    " is not in the window's list (" +
                                    std::to_string(kFirstListYear) + " to " +
                                    std::to_string(kLastListYear) + ")"});
        }
    }
    return problems;
}

} // namespace

OpenedFile OpenSettingsFile(std::string_view text, const protocol::LoggerSettings& current,
                            const protocol::LoggerSettings& held) {
    OpenedFile result;
    const settingsfile::ParsedFile parsed = settingsfile::ParseSettingsFile(text);
    // The settings that could be read are checked too, so that every problem
    // shows at once.
    const settingsfile::SettingsFile& file = parsed.read;
    protocol::LoggerSettings merged = settingsfile::ApplySettingsFile(file, current);
    // What the file gives is judged against the logger, the rest against the
    // window: the controls may hold a value the logger reported.
    protocol::LoggerSettings reported = current;
    for (const protocol::SettingRow& row : protocol::kSettingTable) {
        if (file.Gives(row.key)) {
            protocol::CopySetting(row.key, held, reported);
        }
    }
    std::vector<settingsfile::FileError> problems = parsed.errors;
    for (protocol::SettingsProblem& problem : protocol::ValidateSettings(merged, &reported)) {
        problems.push_back({std::move(problem.key), std::move(problem.message)});
    }
    for (settingsfile::FileError& problem : NotOffered(file)) {
        problems.push_back(std::move(problem));
    }
    result.problems = settingsfile::ErrorLines(problems);
    if (result.problems.empty()) {
        result.opened = OpenedSettings{std::move(merged),
                                       settingsfile::ApplySettingsFile(file, held), file.keys};
    }
    return result;
}

} // namespace korvel::window
