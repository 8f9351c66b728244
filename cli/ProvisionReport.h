#pragma once
// The provisioning report (--report OUT): one row per logger, as CSV or JSON
// Lines by the file's extension. Each row is written and flushed as its logger
// finishes, so a run cut short leaves the rows of the loggers it finished.

#include "settingsfile/SettingsFile.h"

#include <cstdio>
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
    // Creates `path`, which must not exist; null with `error` otherwise.
    static std::unique_ptr<ProvisionReport> Create(const std::string& path, std::string& error);
    ~ProvisionReport();
    ProvisionReport(const ProvisionReport&) = delete;
    ProvisionReport& operator=(const ProvisionReport&) = delete;

    // Appends and flushes the row. Safe to call from several threads.
    void Write(const ReportRow& row);

private:
    ProvisionReport(std::FILE* file, ReportFormat format) : file_(file), format_(format) {}

    std::mutex mutex_;
    std::FILE* file_;
    ReportFormat format_;
};

} // namespace korvel::cli
