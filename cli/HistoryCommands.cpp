#include "cli/HistoryCommands.h"

#include "cli/Command.h"
#include "cli/Discovery.h"
#include "cli/Version.h"
#include "history/SharedConfig.h"
#include "platform/DataFolder.h"
#include "platform/UserIdentity.h"
#include "protocol/Printable.h"
#include "protocol/SettingsCodec.h"
#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

namespace korvel::cli {

namespace {

using settingsfile::Member;
using settingsfile::Node;

std::string pathFor(const Options& options) {
    if (!options.historyPath.empty()) {
        return options.historyPath;
    }
    return history::DefaultHistoryPath(platform::SystemEnvironmentVariable);
}

protocol::Result<std::unique_ptr<history::HistoryStore>> openStore(const Options& options,
                                                                   HistoryUse use) {
    history::StoreOptions store;
    // The default place is ours to create; a path the user gave is taken as given.
    store.createFolder = options.historyPath.empty() && use == HistoryUse::Records;
    // A history read is never created: a missing file is no empty history.
    store.create = use == HistoryUse::Records;
    return history::OpenHistoryStore(pathFor(options), store);
}

std::string rowsText(std::int64_t rows) {
    return std::to_string(rows) + (rows == 1 ? " row" : " rows");
}

// `history verify`: the chain, its head, and the head expected (--expect-head).
int printVerify(const Options& options, const std::string& path, const history::ChainCheck& check,
                std::ostream& out) {
    if (!check.Intact()) {
        out << path << ": " << check.problem << '\n';
        return exit_code::kHistoryBroken;
    }
    const std::string head = check.head.empty() ? "" : ", head " + check.head;
    if (options.expectHead.empty()) {
        out << path << ": intact, " << rowsText(check.rows) << head << '\n';
        return exit_code::kDone;
    }
    if (!check.anchorRow) {
        // What was anchored is gone, however intact the rest looks.
        out << path << ": " << rowsText(check.rows) << head << ", but the expected head "
            << options.expectHead
            << " is not in the history: rows were removed from its end, or the file was "
               "replaced or put back from an older copy\n";
        return exit_code::kHistoryBroken;
    }
    const std::int64_t added = check.rows - *check.anchorRow;
    out << path << ": intact, " << rowsText(check.rows) << head
        << (added == 0
                ? ", the expected head\n"
                : "; the expected head is row " + std::to_string(*check.anchorRow) + ", and " +
                      rowsText(added) + (added == 1 ? " was" : " were") + " added after it\n");
    return exit_code::kDone;
}

std::string resultOf(const history::SaveEntry& entry) {
    return entry.outcome ? entry.outcome->result : "no outcome recorded";
}

// RFC 4180: quoted when it holds a separator, a quote or a line break.
std::string csvField(const std::string& value) {
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        return value;
    }
    std::string quoted = "\"";
    for (const char c : value) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + '"';
}

// The columns of `history list`, one meaning each for text, CSV and JSON.
template <typename Row> struct ListColumn {
    const char* name;
    std::string (*value)(const Row&);
};

using LocalColumn = ListColumn<history::SaveEntry>;
const LocalColumn kListColumns[] = {
    {"id", [](const history::SaveEntry& e) { return std::to_string(e.id); }},
    {"time",
     [](const history::SaveEntry& e) { return history::UtcMillisecondsText(e.attempt.time); }},
    {"serial_number", [](const history::SaveEntry& e) { return e.attempt.serialNumber; }},
    {"result", resultOf},
    {"port", [](const history::SaveEntry& e) { return e.attempt.port; }},
    {"operator", [](const history::SaveEntry& e) { return e.attempt.operatorName; }},
    {"host", [](const history::SaveEntry& e) { return e.attempt.host; }},
    {"program", [](const history::SaveEntry& e) { return e.attempt.program; }},
    {"clock_sync", [](const history::SaveEntry& e) { return e.attempt.clockSync; }},
    {"batch", [](const history::SaveEntry& e) { return e.attempt.batch; }},
    {"detail",
     [](const history::SaveEntry& e) { return e.outcome ? e.outcome->detail : std::string(); }},
};

// Every bench's saves: the server's order first, then who, where and how.
using SharedColumn = ListColumn<history::SharedSave>;
const SharedColumn kSharedColumns[] = {
    {"seq", [](const history::SharedSave& s) { return std::to_string(s.seq); }},
    {"time",
     [](const history::SharedSave& s) {
         return history::UtcMillisecondsText(s.entry.attempt.time);
     }},
    {"serial_number", [](const history::SharedSave& s) { return s.entry.attempt.serialNumber; }},
    {"result", [](const history::SharedSave& s) { return resultOf(s.entry); }},
    {"bench", [](const history::SharedSave& s) { return s.benchName; }},
    {"operator", [](const history::SharedSave& s) { return s.entry.attempt.operatorName; }},
    {"sent_by", [](const history::SharedSave& s) { return s.sentBy; }},
    {"received_at", [](const history::SharedSave& s) { return s.receivedAt; }},
    {"bench_id", [](const history::SharedSave& s) { return s.benchId; }},
    {"local_id", [](const history::SharedSave& s) { return std::to_string(s.entry.id); }},
    {"port", [](const history::SharedSave& s) { return s.entry.attempt.port; }},
    {"host", [](const history::SharedSave& s) { return s.entry.attempt.host; }},
    {"program", [](const history::SharedSave& s) { return s.entry.attempt.program; }},
    {"clock_sync", [](const history::SharedSave& s) { return s.entry.attempt.clockSync; }},
    {"batch", [](const history::SharedSave& s) { return s.entry.attempt.batch; }},
    {"detail",
     [](const history::SharedSave& s) {
         return s.entry.outcome ? s.entry.outcome->detail : std::string();
     }},
};

const history::SaveEntry& entryOf(const history::SaveEntry& entry) {
    return entry;
}
const history::SaveEntry& entryOf(const history::SharedSave& save) {
    return save.entry;
}

// `shown`: how many of the first columns the text form prints, aligned; the
// rest are in --json and --csv.
template <typename Row, std::size_t N>
void printList(const Options& options, const ListColumn<Row> (&columns)[N],
               const std::vector<Row>& rows, std::size_t shown, std::ostream& out) {
    if (options.json) {
        std::vector<Node> items;
        for (const Row& row : rows) {
            std::vector<Member> members;
            for (const ListColumn<Row>& column : columns) {
                members.push_back({column.name, Node::String(column.value(row))});
            }
            members.front().value = Node::Number(columns[0].value(row));
            const history::SaveEntry& entry = entryOf(row);
            members.push_back({"acknowledged", entry.outcome
                                                   ? Node::Bool(entry.outcome->acknowledged)
                                                   : Node::Null()});
            items.push_back(Node::Object(std::move(members)));
        }
        out << settingsfile::PrettyText(
            OutcomeObject(exit_code::kDone, {}, {{"saves", Node::Array(std::move(items))}}));
        return;
    }
    if (options.csv) {
        std::string header;
        for (const ListColumn<Row>& column : columns) {
            header.append(header.empty() ? "" : ",").append(column.name);
        }
        out << header << "\r\n";
        for (const Row& row : rows) {
            std::string line;
            for (const ListColumn<Row>& column : columns) {
                line.append(line.empty() ? "" : ",")
                    .append(csvField(protocol::PrintableText(column.value(row))));
            }
            out << line << "\r\n";
        }
        return;
    }
    std::vector<std::size_t> widths(shown, 0);
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < shown; ++i) {
            widths[i] = std::max(widths[i], protocol::PrintableText(columns[i].value(row)).size());
        }
    }
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < shown; ++i) {
            const std::string value = protocol::PrintableText(columns[i].value(row));
            line += value + (i + 1 < shown ? std::string(widths[i] - value.size() + 2, ' ') : "");
        }
        out << line << '\n';
    }
}

std::string rowsWaiting(std::int64_t waiting) {
    return rowsText(waiting) + (waiting == 1 ? " waits" : " wait");
}

// `history sync`, `verify --shared` and `list --shared`.
int runShared(const CommandContext& context) {
    const Options& options = context.options;
    const Reporter& report = context.report;
    if (context.shared == nullptr) {
        report.Error("no shared history is configured: give --shared-history CONNINFO, or set "
                     "shared_history in korvel.conf");
        return exit_code::kNothingSaved;
    }
    if (options.historyAction == HistoryAction::Sync) {
        history::SharedOutbox outbox(*context.store, *context.shared);
        const history::PushReport push = outbox.PushNow();
        if (!push.problem.empty()) {
            report.Error(push.problem + "; " + rowsWaiting(push.waiting) + " in " +
                         context.store->Path());
            return exit_code::kNothingSaved;
        }
        context.env.out << context.store->Path() << ": " << rowsText(push.sent)
                        << " sent to the shared history, " << rowsWaiting(push.waiting) << '\n';
        return exit_code::kDone;
    }
    auto server = history::SharedServer::Connect(*context.shared);
    if (!server) {
        report.Error(server.failure().message);
        return exit_code::kNothingSaved;
    }
    if (options.historyAction == HistoryAction::Verify) {
        const auto check = (*server)->Verify();
        if (!check) {
            report.Error(check.failure().message);
            return exit_code::kNothingSaved;
        }
        if (!check->Intact()) {
            context.env.out << "shared history: " << check->problem << '\n';
            return exit_code::kHistoryBroken;
        }
        context.env.out << "shared history: intact, " << rowsText(check->rows)
                        << (check->head.empty() ? "" : ", head " + check->head) << '\n';
        return exit_code::kDone;
    }
    const auto saves = (*server)->List(options.historySerial);
    if (!saves) {
        report.Error(saves.failure().message);
        return exit_code::kNothingSaved;
    }
    printList(options, kSharedColumns, *saves, 7, context.env.out);
    if (saves->empty() && !options.quiet) {
        report.Progress(options.historySerial.empty()
                            ? "no saves in the shared history"
                            : "no saves of " + options.historySerial + " in the shared history");
    }
    return exit_code::kDone;
}

} // namespace

int RunHistoryCommand(const CommandContext& context) {
    const Options& options = context.options;
    Environment& env = context.env;
    const Reporter& report = context.report;
    if (options.shared || options.historyAction == HistoryAction::Sync) {
        return runShared(context);
    }
    history::HistoryStore& store = *context.store;
    switch (options.historyAction) {
    case HistoryAction::Verify: {
        const auto check = store.Verify(options.expectHead);
        if (!check) {
            report.Error(check.failure().message);
            return exit_code::kNothingSaved;
        }
        return printVerify(options, store.Path(), *check, env.out);
    }
    case HistoryAction::List: {
        const auto entries = store.List(options.historySerial);
        if (!entries) {
            report.Error(entries.failure().message);
            return exit_code::kNothingSaved;
        }
        printList(options, kListColumns, *entries, 5, env.out);
        if (entries->empty() && !options.quiet) {
            report.Progress(options.historySerial.empty()
                                ? "no saves recorded in " + store.Path()
                                : "no saves of " + options.historySerial + " recorded");
        }
        return exit_code::kDone;
    }
    case HistoryAction::Show:
    case HistoryAction::Sync:
        break;
    }
    const auto entry = store.Find(options.historyId);
    if (!entry) {
        report.Error(entry.failure().message);
        return exit_code::kNothingSaved;
    }
    protocol::Block frame{};
    if (entry->attempt.frame.size() != frame.size()) {
        report.Error("save " + std::to_string(entry->id) + " holds no whole save frame");
        return exit_code::kNothingSaved;
    }
    std::copy(entry->attempt.frame.begin(), entry->attempt.frame.end(), frame.begin());
    if (!options.quiet) {
        report.Progress("save " + std::to_string(entry->id) + ": logger \"" +
                        entry->attempt.serialNumber + "\" on " + entry->attempt.port + ", " +
                        history::UtcMillisecondsText(entry->attempt.time) + ", " +
                        resultOf(*entry));
    }
    // The levels as the save frame wrote them, not as a reply would be read.
    env.out << settingsfile::WriteSettingsFile(
        protocol::DecodeSettings(frame, protocol::LevelCoding::PackedBcd));
    return exit_code::kDone;
}

std::optional<history::SharedTarget> SharedTargetFor(const Options& options, const Environment& env,
                                                     const Reporter& report) {
    if (options.noSharedHistory) {
        return std::nullopt;
    }
    const history::ParsedConfig config = history::LoadSystemConfig(env.variables);
    for (const history::ConfigProblem& problem : config.problems) {
        report.Warning(problem.file + ":" + std::to_string(problem.line) + ": " + problem.message +
                       "; line skipped");
    }
    return history::SharedTargetOf(config.config, options.sharedHistory, env.hostName);
}

void ReportPush(const history::PushReport& push, const std::string& path, const Reporter& report) {
    if (push.problem.empty()) {
        return;
    }
    report.Warning(push.problem + "; the saves are recorded in " + path + ", where " +
                   rowsWaiting(push.waiting) + " for the next save or korvel-cli history sync");
}

int OpenHistory(const Options& options, const Reporter& report, HistoryUse use,
                std::unique_ptr<history::HistoryStore>& store) {
    if (use == HistoryUse::Reads) {
        auto opened = openStore(options, use);
        if (!opened) {
            report.Error(opened.failure().message);
            return exit_code::kNothingSaved;
        }
        store = std::move(opened).take();
        return exit_code::kDone;
    }
    if (use != HistoryUse::Records) {
        return exit_code::kDone;
    }
    // The simulated logger's saves stay out of the real record unless a file is named.
    const bool demoOnly = options.demo && options.historyPath.empty();
    if (demoOnly && options.requireHistory) {
        report.Error("--demo records in no history unless --history PATH names one; nothing "
                     "was saved");
        return exit_code::kNothingSaved;
    }
    if (options.noHistory || demoOnly) {
        return exit_code::kDone;
    }
    // A build without a history says so only when one was asked for.
    const bool asked = options.requireHistory || !options.historyPath.empty();
    if (!history::HistoryAvailable() && !asked) {
        return exit_code::kDone;
    }
    auto opened = openStore(options, use);
    if (opened) {
        store = std::move(opened).take();
    } else if (options.requireHistory) {
        report.Error(opened.failure().message +
                     "; nothing was saved because --require-history was given");
        return exit_code::kNothingSaved;
    } else {
        report.Alert(opened.failure().message + "; saving without a record in the history");
    }
    return exit_code::kDone;
}

} // namespace korvel::cli
