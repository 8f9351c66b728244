// `check`: a settings file checked without a logger.
#include "cli/Command.h"

namespace korvel::cli {

int RunCheckCommand(const CommandContext& context) {
    const Options& options = context.options;
    const Reporter& report = context.report;
    // Every problem, reading and ranges alike, is told in one list.
    if (!ReadSettingsFile(context, FileUse::Check)) {
        return exit_code::kUsage;
    }
    report.Progress(FileName(options.file) + ": valid");
    return exit_code::kDone;
}

} // namespace korvel::cli
