#include "cli/ProvisionReport.h"

#include "cli/CsvField.h"
#include "cli/JsonOutput.h"
#include "platform/ProgramArguments.h"
#include "settingsfile/JsonTree.h"

#include <filesystem>
#include <system_error>

namespace korvel::cli {

namespace {

using settingsfile::Member;
using settingsfile::Node;

std::string changeText(const settingsfile::Change& change) {
    return change.key + ": " + change.before + " -> " + change.after;
}

template <typename T, typename F> std::string joined(const std::vector<T>& items, F text) {
    std::string out;
    for (const T& item : items) {
        out += (out.empty() ? "" : "; ") + text(item);
    }
    return out;
}

Node valueOf(const std::string& compact) {
    if (compact == settingsfile::kAbsent) {
        return Node::Null();
    }
    if (compact == settingsfile::kHidden) {
        return Node::String(compact);
    }
    return settingsfile::ParseJson(compact).root;
}

} // namespace

std::optional<ReportFormat> ReportFormatOf(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    if (extension == ".csv") {
        return ReportFormat::Csv;
    }
    if (extension == ".jsonl") {
        return ReportFormat::JsonLines;
    }
    return std::nullopt;
}

std::string CsvHeader() {
    return "batch,time,operator,host,program,settings_sha256,port,serial_number,result,detail,"
           "changes,clock,time_zone,clock_sync,compared,history_head\n";
}

std::string CsvRow(const ReportRow& row) {
    const std::vector<std::string> fields = {
        row.batch,
        row.time,
        row.operatorName,
        row.host,
        row.program,
        row.settingsSha256,
        row.port,
        row.serialNumber,
        row.result,
        row.detail,
        joined(row.changes, changeText),
        row.clock,
        row.timeZone,
        row.clockSync,
        joined(row.compared, [](const auto& key) { return key.first + "=" + key.second; }),
        row.historyHead};
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += (i == 0 ? "" : ",") + CsvField(fields[i]);
    }
    return line + "\n";
}

std::string JsonLinesRow(const ReportRow& row) {
    const auto text = [](const std::string& value) { return Node::String(value); };
    const auto optional = [&](const std::string& value) {
        return value.empty() ? Node::Null() : text(value);
    };
    std::vector<Node> changes;
    for (const settingsfile::Change& change : row.changes) {
        changes.push_back(Node::Object({{"key", text(change.key)},
                                        {"old", valueOf(change.before)},
                                        {"new", valueOf(change.after)}}));
    }
    std::vector<Member> compared;
    for (const auto& [key, outcome] : row.compared) {
        compared.push_back({key, text(outcome)});
    }
    const Node object = VersionedObject({
        {"batch", text(row.batch)},
        {"time", text(row.time)},
        {"operator", text(row.operatorName)},
        {"host", text(row.host)},
        {"program", text(row.program)},
        {"settings_sha256", text(row.settingsSha256)},
        {"port", text(row.port)},
        {"serial_number", optional(row.serialNumber)},
        {"result", text(row.result)},
        {"detail", optional(row.detail)},
        {"changes", Node::Array(std::move(changes))},
        {"clock", optional(row.clock)},
        {"time_zone", optional(row.timeZone)},
        {"clock_sync", text(row.clockSync)},
        {"compared", row.compared.empty() ? Node::Null() : Node::Object(std::move(compared))},
        {"history_head", optional(row.historyHead)},
    });
    return settingsfile::CompactText(object) + "\n";
}

protocol::Result<std::unique_ptr<ProvisionReport>>
ProvisionReport::Create(const FileCreator& create, const std::string& path) {
    using protocol::Failure;
    const std::optional<ReportFormat> format = ReportFormatOf(path);
    if (!format) {
        return Failure{Failure::Kind::Invalid,
                       "--report " + path + ": name a .csv or a .jsonl file"};
    }
    auto created = CreateOutputFile(create, "--report", "report", path);
    if (!created) {
        return created.failure();
    }
    std::unique_ptr<ProvisionReport> report(
        new ProvisionReport(std::move(created).take(), *format, path));
    if (*format == ReportFormat::Csv) {
        protocol::Result<void> written = report->file_->Append(CsvHeader());
        if (written) {
            written = report->file_->Sync();
        }
        if (!written) {
            // Made here a moment ago and holding nothing: taken away again.
            report.reset();
            std::error_code ignored;
            std::filesystem::remove(platform::FilePath(path), ignored);
            return Failure{Failure::Kind::System,
                           "cannot write the report " + path + ": " + written.failure().message};
        }
    }
    return report;
}

protocol::Result<void> ProvisionReport::Write(const ReportRow& row) {
    const std::string line = format_ == ReportFormat::Csv ? CsvRow(row) : JsonLinesRow(row);
    const std::lock_guard lock(mutex_);
    if (protocol::Result<void> written = file_->Append(line); !written) {
        return written;
    }
    return file_->Sync();
}

} // namespace korvel::cli
