// A file's settings applied onto a logger's, and checked alone.
#include "settingsfile/SettingsFile.h"

#include "protocol/SettingsText.h"

namespace korvel::settingsfile {

using namespace korvel::protocol;

LoggerSettings ApplySettingsFile(const SettingsFile& file, const LoggerSettings& base) {
    LoggerSettings s = base;
    for (const SettingRow& row : kSettingTable) {
        if (file.Gives(row.key)) {
            CopySetting(row.key, file.settings, s);
        }
    }
    if (file.Gives(SettingKey::TripInformation)) {
        s.tripInformation = TripBytesOf(file.settings.tripInformation, base.tripInformation);
    }
    return s;
}

std::vector<SettingsProblem> CheckSettingsFile(const SettingsFile& file) {
    std::vector<SettingsProblem> problems;
    for (SettingsProblem& problem : ValidateSettings(ApplySettingsFile(file, LoggerSettings{}))) {
        if (file.Gives(problem.setting)) {
            problems.push_back(std::move(problem));
        }
    }
    return problems;
}

} // namespace korvel::settingsfile
