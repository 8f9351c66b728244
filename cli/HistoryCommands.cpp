#include "cli/HistoryCommands.h"

#include "cli/Command.h"
#include "cli/CsvField.h"
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
#include <cstring>
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

// The columns of `history list`, one meaning each for text, CSV and JSON.
template <typename Row> struct ListColumn {
    const char* name;
    std::string (*value)(const Row&);
    std::size_t width = 0; // the least the text list gives it
};

using LocalColumn = ListColumn<history::SaveEntry>;
const LocalColumn kListColumns[] = {
    {"id", [](const history::SaveEntry& e) { return std::to_string(e.id); }, 6},
    {"time",
     [](const history::SaveEntry& e) { return history::UtcMillisecondsText(e.attempt.time); }, 24},
    {"serial_number", [](const history::SaveEntry& e) { return e.attempt.serialNumber; }, 10},
    {"result", resultOf, 17},
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
    {"seq", [](const history::SharedSave& s) { return std::to_string(s.seq); }, 6},
    {"time",
     [](const history::SharedSave& s) {
         return history::UtcMillisecondsText(s.entry.attempt.time);
     },
     24},
    {"serial_number", [](const history::SharedSave& s) { return s.entry.attempt.serialNumber; },
     10},
    {"result", [](const history::SharedSave& s) { return resultOf(s.entry); }, 17},
    {"bench", [](const history::SharedSave& s) { return s.benchName; }, 16},
    {"operator", [](const history::SharedSave& s) { return s.entry.attempt.operatorName; }, 10},
    {"sent_by", [](const history::SharedSave& s) { return s.sentBy; }, 10},
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

// Prints a list one row at a time, as the rows are read: nothing is held
// however long the list. `shown`: how many of the first columns the text
// form prints, under a header line, each padded to its width; the rest are in
// --json and --csv.
template <typename Row, std::size_t N> class ListPrinter {
public:
    ListPrinter(const Options& options, const ListColumn<Row> (&columns)[N], std::size_t shown,
                std::ostream& out)
        : options_(options), columns_(columns), shown_(shown), out_(out) {
        if (options_.json) {
            // The outcome object as it is with no saves, opened at its list.
            std::string text = settingsfile::PrettyText(
                OutcomeObject(exit_code::kDone, {}, {{"saves", Node::Array({})}}));
            const std::size_t list = text.rfind("[]");
            jsonEnd_ = text.substr(list + 2);
            out_ << text.substr(0, list + 1);
        } else if (options_.csv) {
            std::string header;
            for (const ListColumn<Row>& column : columns_) {
                header.append(header.empty() ? "" : ",").append(column.name);
            }
            out_ << header << "\r\n";
        }
    }

    void Add(const Row& row) {
        if (options_.json) {
            std::vector<Member> members;
            for (const ListColumn<Row>& column : columns_) {
                members.push_back({column.name, Node::String(column.value(row))});
            }
            members.front().value = Node::Number(columns_[0].value(row));
            const history::SaveEntry& entry = entryOf(row);
            members.push_back({"acknowledged", entry.outcome
                                                   ? Node::Bool(entry.outcome->acknowledged)
                                                   : Node::Null()});
            out_ << (rows_ == 0 ? "\n    " : ",\n    ")
                 << settingsfile::CompactText(Node::Object(std::move(members)));
        } else if (options_.csv) {
            std::string line;
            for (const ListColumn<Row>& column : columns_) {
                line.append(line.empty() ? "" : ",").append(CsvField(column.value(row)));
            }
            out_ << line << "\r\n";
        } else {
            if (rows_ == 0) {
                textLine([this](std::size_t i) { return std::string(columns_[i].name); });
            }
            textLine(
                [&](std::size_t i) { return protocol::PrintableText(columns_[i].value(row)); });
        }
        ++rows_;
    }

    // Closes the JSON; how many rows were printed.
    std::size_t Finish() {
        if (options_.json) {
            out_ << (rows_ == 0 ? "]" : "\n  ]") << jsonEnd_;
        }
        out_.flush();
        return rows_;
    }

private:
    template <typename Text> void textLine(const Text& text) {
        std::string line;
        for (std::size_t i = 0; i < shown_; ++i) {
            const std::string value = text(i);
            line += value;
            if (i + 1 < shown_) {
                const std::size_t width =
                    std::max({columns_[i].width, std::strlen(columns_[i].name), value.size()});
                line += std::string(width - value.size() + 2, ' ');
            }
        }
        out_ << line << '\n';
    }

    const Options& options_;
    const ListColumn<Row> (&columns_)[N];
    std::size_t shown_;
    std::ostream& out_;
    std::string jsonEnd_;
    std::size_t rows_ = 0;
};

history::ListQuery ListQueryOf(const Options& options) {
    return {options.historySerial, options.historySince, options.historyUntil,
            options.historyLimit};
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
        if (options.newBenchId) {
            const auto forked = context.store->ForkBench();
            if (!forked) {
                report.Error(forked.failure().message);
                return exit_code::kNothingSaved;
            }
            report.Progress(context.store->Path() + ": bench id " + forked->id + " from row " +
                            std::to_string(forked->fromRow) + " on");
        }
        history::SharedOutbox outbox(*context.store, *context.shared);
        const history::PushReport push = outbox.PushNow();
        if (!push.clockWarning.empty()) {
            report.Warning(push.clockWarning);
        }
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
        const auto check = (*server)->Verify(options.expectHead);
        if (!check) {
            report.Error(check.failure().message);
            return exit_code::kNothingSaved;
        }
        return printVerify(options, "shared history", *check, context.env.out);
    }
    ListPrinter printer(options, kSharedColumns, 8, context.env.out);
    const auto read = (*server)->List(
        ListQueryOf(options), [&printer](const history::SharedSave& save) { printer.Add(save); });
    const std::size_t printed = printer.Finish();
    if (!read) {
        report.Error(read.failure().message);
        return exit_code::kNothingSaved;
    }
    if (printed == 0 && !options.quiet) {
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
        ListPrinter printer(options, kListColumns, 5, env.out);
        const auto read =
            store.List(ListQueryOf(options),
                       [&printer](const history::SaveEntry& entry) { printer.Add(entry); });
        const std::size_t printed = printer.Finish();
        if (!read) {
            report.Error(read.failure().message);
            return exit_code::kNothingSaved;
        }
        if (printed == 0 && !options.quiet) {
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
    if (!push.clockWarning.empty()) {
        report.Warning(push.clockWarning);
    }
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
