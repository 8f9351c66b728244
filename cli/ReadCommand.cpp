// `read`: the logger's settings as setting lines, a settings file (--json) or
// the block's hex (--raw).
#include "cli/Command.h"

#include "protocol/SettingsCodec.h"
#include "tools/sim/SimBlock.h"

namespace korvel::cli {

int RunReadCommand(const CommandContext& context) {
    const Options& options = context.options;
    Environment& env = context.env;
    PortSession session;
    EventQueue queue;
    Found found;
    if (const int code = FindLogger(context, queue, session, found); code != exit_code::kDone) {
        return code;
    }
    const protocol::LoggerSettings settings = protocol::DecodeSettings(found.reply);
    if (options.raw) {
        env.out << sim::BlockToHex(found.reply);
    } else if (options.json) {
        env.out << settingsfile::WriteSettingsFile(settings);
    } else {
        std::vector<std::pair<std::string, std::string>> rows;
        for (settingsfile::SettingLine& line : settingsfile::SettingLines(settings)) {
            rows.emplace_back(std::move(line.key), std::move(line.value));
        }
        PrintAligned(env.out, rows);
    }
    return exit_code::kDone;
}

} // namespace korvel::cli
