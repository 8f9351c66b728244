#pragma once
// The provisioning report (--report OUT): one row per logger, as CSV or JSON
// Lines by the file's extension. Each row is written whole with one write and
// flushed to the disk as its logger finishes, so a run cut short leaves the
// rows of the loggers it finished, and a row that cannot be written leaves no
// part of itself and is told.

#include "cli/OutputFile.h"
#include "platform/PrivateFiles.h"
#include "protocol/Result.h"
#include "settingsfile/SettingsFile.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvel::cli {

struct ReportRow {
    std::string batch;
    std::string time; // UTC, "2025-06-01T12:00:00.000000Z"
    std::string operatorName;
    std::string host;
    std::string program;
    std::string settingsSha256;
    std::string port;
    std::string serialNumber; // UTF-8
    std::string result;
    std::string detail;
    std::vector<settingsfile::Change> changes; // old -> new
    std::string clock;                         // written, the logger's local time; empty if none
    std::string timeZone;                      // written, as the settings file writes it
    std::string clockSync;
    // Each compared key and "match" or "differs"; empty when nothing was read back.
    std::vector<std::pair<std::string, std::string>> compared;
    // The hash of the last history row the save wrote: the history's head
    // right after it, which a copy of the report kept elsewhere anchors
    // (`history verify --expect-head`); empty when no row was written.
    std::string historyHead;
};

enum class ReportFormat { Csv, JsonLines };
// By extension: .csv, .jsonl; nothing for any other.
std::optional<ReportFormat> ReportFormatOf(const std::string& path);

// The CSV header line and a row's line, each with its line break.
std::string CsvHeader();
std::string CsvRow(const ReportRow& row);
// A row as one JSON object and a line break.
std::string JsonLinesRow(const ReportRow& row);

class ProvisionReport {
public:
    // Creates `path` with `create`, by the rule of CreateOutputFile (never a
    // path that exists), a CSV file with its header on the disk.
    static protocol::Result<std::unique_ptr<ProvisionReport>> Create(const FileCreator& create,
                                                                     const std::string& path);
    ProvisionReport(const ProvisionReport&) = delete;
    ProvisionReport& operator=(const ProvisionReport&) = delete;

    // Appends the row with one write and flushes it to the disk; a failure
    // says why, and no part of the row is left in the file. Safe to call from
    // several threads.
    protocol::Result<void> Write(const ReportRow& row);

    const std::string& Path() const { return path_; }

private:
    ProvisionReport(std::unique_ptr<platform::NewFile> file, ReportFormat format, std::string path)
        : file_(std::move(file)), format_(format), path_(std::move(path)) {}

    std::mutex mutex_; // guards file_
    std::unique_ptr<platform::NewFile> file_;
    ReportFormat format_;
    std::string path_;
};

} // namespace korvel::cli
