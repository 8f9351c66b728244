#include "cli/HistoryCommands.h"

#include "cli/Command.h"
#include "cli/Discovery.h"
#include "cli/Version.h"
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
    return history::DefaultHistoryPath([](const char* name) { return std::getenv(name); });
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
struct ListColumn {
    const char* name;
    std::string (*value)(const history::SaveEntry&);
};

const ListColumn kListColumns[] = {
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

void printList(const Options& options, const std::vector<history::SaveEntry>& entries,
               std::ostream& out) {
    if (options.json) {
        std::vector<Node> items;
        for (const history::SaveEntry& entry : entries) {
            std::vector<Member> members;
            for (const ListColumn& column : kListColumns) {
                members.push_back({column.name, Node::String(column.value(entry))});
            }
            members.front().value = Node::Number(std::to_string(entry.id));
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
        for (const ListColumn& column : kListColumns) {
            header += (header.empty() ? "" : ",") + std::string(column.name);
        }
        out << header << "\r\n";
        for (const history::SaveEntry& entry : entries) {
            std::string line;
            for (const ListColumn& column : kListColumns) {
                line += (line.empty() ? "" : ",") +
                        csvField(protocol::PrintableText(column.value(entry)));
            }
            out << line << "\r\n";
        }
        return;
    }
    // Text: the first columns, aligned; the rest are in --json and --csv.
    constexpr std::size_t kShown = 5;
    std::vector<std::size_t> widths(kShown, 0);
    for (const history::SaveEntry& entry : entries) {
        for (std::size_t i = 0; i < kShown; ++i) {
            widths[i] =
                std::max(widths[i], protocol::PrintableText(kListColumns[i].value(entry)).size());
        }
    }
    for (const history::SaveEntry& entry : entries) {
        std::string line;
        for (std::size_t i = 0; i < kShown; ++i) {
            const std::string value = protocol::PrintableText(kListColumns[i].value(entry));
            line += value + (i + 1 < kShown ? std::string(widths[i] - value.size() + 2, ' ') : "");
        }
        out << line << '\n';
    }
}

} // namespace

int RunHistoryCommand(const CommandContext& context) {
    const Options& options = context.options;
    Environment& env = context.env;
    const Reporter& report = context.report;
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
        printList(options, *entries, env.out);
        if (entries->empty() && !options.quiet) {
            report.Progress(options.historySerial.empty()
                                ? "no saves recorded in " + store.Path()
                                : "no saves of " + options.historySerial + " recorded");
        }
        return exit_code::kDone;
    }
    case HistoryAction::Show:
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
