// `check`: a settings file checked without a logger.
#include "cli/Command.h"

namespace korvel::cli {

int RunCheckCommand(const CommandContext& context) {
    const Options& options = context.options;
    const Reporter& report = context.report;
    const auto file = ReadSettingsFile(context);
    if (!file) {
        return exit_code::kUsage;
    }
    const std::vector<protocol::SettingsProblem> problems = settingsfile::CheckSettingsFile(*file);
    for (const protocol::SettingsProblem& problem : problems) {
        report.Error(FileName(options.file) + ": " + problem.Text());
    }
    if (!problems.empty()) {
        return exit_code::kUsage;
    }
    report.Progress(FileName(options.file) + ": valid");
    return exit_code::kDone;
}

} // namespace korvel::cli
