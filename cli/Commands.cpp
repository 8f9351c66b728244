#include "cli/Commands.h"

#include "cli/Command.h"
#include "cli/HistoryCommands.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string_view>

namespace korvel::cli {

namespace {

struct CommandEntry {
    std::string_view name;
    Command command;
    CommandFunction run;
    HistoryUse history;
};

// Sorted by name; a new command is one row here.
constexpr CommandEntry kCommands[] = {
    {"check", Command::Check, RunCheckCommand, HistoryUse::None},
    {"history", Command::History, RunHistoryCommand, HistoryUse::Reads},
    {"list", Command::List, RunListCommand, HistoryUse::None},
    {"provision", Command::Provision, RunProvisionCommand, HistoryUse::Records},
    {"read", Command::Read, RunReadCommand, HistoryUse::None},
    {"write", Command::Write, RunWriteCommand, HistoryUse::Records},
};

static_assert(std::is_sorted(std::begin(kCommands), std::end(kCommands),
                             [](const CommandEntry& a, const CommandEntry& b) {
                                 return a.name < b.name;
                             }),
              "the dispatch table is sorted by name");

const CommandEntry& entryOf(Command command) {
    return *std::find_if(std::begin(kCommands), std::end(kCommands),
                         [command](const CommandEntry& entry) { return entry.command == command; });
}

HistoryUse historyUse(const CommandEntry& entry, const Options& options) {
    // A dry run saves nothing, so records nothing.
    if (entry.history == HistoryUse::Records && options.dryRun) {
        return HistoryUse::None;
    }
    // The shared history's verify and list read the server, not the file.
    if (entry.command == Command::History && options.shared) {
        return HistoryUse::None;
    }
    return entry.history;
}

int dispatch(const Options& options, Environment& env, bool openForSaves) {
    // Under --json the errors told are also the JSON outcome's.
    ErrorRecord errors;
    const Reporter report(env.err, options.quiet, options.json ? &errors : nullptr);
    const CommandEntry& entry = entryOf(options.command);
    HistoryUse use = historyUse(entry, options);
    if (use == HistoryUse::Records && !openForSaves) {
        use = HistoryUse::None;
    }
    std::unique_ptr<history::HistoryStore> store;
    if (const int code = OpenHistory(options, report, use, store); code != exit_code::kDone) {
        return code;
    }
    history::SaveHistory* const given = env.history;
    if (use == HistoryUse::Records) {
        env.history = store.get();
    }
    // The shared history: the saves recorded in the file are sent from a
    // worker as they come, after what the file held back from earlier runs.
    std::optional<history::SharedTarget> shared;
    if (entry.command == Command::History || (use == HistoryUse::Records && store)) {
        shared = SharedTargetFor(options, env, report);
    }
    std::unique_ptr<history::SharedOutbox> outbox;
    std::unique_ptr<history::PushingHistory> pushing;
    if (shared && use == HistoryUse::Records && store) {
        outbox = std::make_unique<history::SharedOutbox>(*store, *shared);
        pushing = std::make_unique<history::PushingHistory>(*store, *outbox);
        env.history = pushing.get();
        outbox->PushInBackground();
    }
    std::unique_ptr<Trace> trace; // opened by the command, closed once it is done
    const CommandContext context{options, env,
                                 report,  use == HistoryUse::Reads ? store.get() : nullptr,
                                 &trace,  shared ? &*shared : nullptr};
    int code = entry.run(context);
    if (trace) {
        code = CloseTrace(*trace, report, code);
    }
    // A failure still answers a script with one JSON object.
    if (options.json && code != exit_code::kDone && !errors.Printed()) {
        env.out << settingsfile::PrettyText(OutcomeObject(code, errors.Items()));
        env.out.flush();
    }
    env.history = given;
    if (outbox) {
        ReportPush(outbox->Finish(), store->Path(), report);
    }
    return code;
}

} // namespace

int RunWithHistory(const Options& options, Environment& env) {
    return dispatch(options, env, true);
}

int Run(const Options& options, Environment& env) {
    return dispatch(options, env, false);
}

} // namespace korvel::cli
