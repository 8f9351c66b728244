// `check`: a settings file checked without a logger.
#include "cli/Command.h"

namespace korvel::cli {

namespace {

// The settings the file gives, one member a key path, as `read` prints them;
// a password only as "(hidden)".
settingsfile::Node givenSettings(const settingsfile::SettingsFile& file) {
    std::vector<settingsfile::Member> members;
    for (const settingsfile::SettingLine& line : settingsfile::SettingLines(file.settings)) {
        for (const protocol::SettingRow& row : protocol::kSettingTable) {
            const bool inRow = line.key == row.path ||
                               (line.key.starts_with(row.path) && line.key[row.path.size()] == '.');
            if (!inRow || !file.Gives(row.key)) {
                continue;
            }
            const bool hidden = protocol::IsSecretPath(line.key) && line.value.starts_with('"');
            members.push_back(
                {line.key, ValueNode(hidden ? std::string(settingsfile::kHidden) : line.value)});
        }
    }
    return settingsfile::Node::Object(std::move(members));
}

} // namespace

int RunCheckCommand(const CommandContext& context) {
    const Options& options = context.options;
    const Reporter& report = context.report;
    // Every problem, reading and ranges alike, is told in one list.
    const auto file = ReadSettingsFile(context, FileUse::Check);
    if (!file) {
        return exit_code::kUsage;
    }
    report.Progress(FileName(options.file) + ": valid");
    if (options.json) {
        PrintJson(context,
                  OutcomeObject(exit_code::kDone, {}, {{"settings", givenSettings(*file)}}));
    }
    return exit_code::kDone;
}

} // namespace korvel::cli
