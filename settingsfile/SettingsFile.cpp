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

std::vector<FileError> FileProblems(const ParsedFile& parsed, HeldValues held) {
    std::vector<FileError> problems = parsed.errors;
    for (SettingsProblem& problem : CheckSettingsFile(parsed.read)) {
        if (held == HeldValues::Refused || !problem.loggerMayHold) {
            problems.push_back({std::move(problem.key), std::move(problem.message)});
        }
    }
    return problems;
}

std::vector<std::string> ErrorLines(const std::vector<FileError>& errors) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < errors.size() && i < kErrorsShown; ++i) {
        lines.push_back(errors[i].Text());
    }
    if (errors.size() > kErrorsShown) {
        // 74980 as "74,980".
        std::string count = std::to_string(errors.size() - kErrorsShown);
        for (std::size_t at = count.size(); at > 3; at -= 3) {
            count.insert(at - 3, ",");
        }
        lines.push_back("... and " + count + (count == "1" ? " more error" : " more errors"));
    }
    return lines;
}

} // namespace korvel::settingsfile
