#include "cli/Manifest.h"

#include "protocol/Frame.h"
#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"

#include <set>

namespace korvel::cli {

namespace {

using protocol::Failure;
using protocol::Result;

struct Row {
    std::vector<std::string> fields;
    int line = 0;
};

Failure invalid(int line, const std::string& message) {
    return {Failure::Kind::Invalid, "line " + std::to_string(line) + ": " + message};
}

// CSV records: fields split at commas, quoted fields may hold anything,
// records end at an unquoted line break (LF or CR LF).
Result<std::vector<Row>> splitRows(std::string_view text) {
    std::vector<Row> rows;
    int line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        Row row;
        row.line = line;
        std::string field;
        bool ended = false;
        while (!ended) {
            if (i < text.size() && text[i] == '"') {
                const int opened = line;
                ++i;
                while (true) {
                    if (i >= text.size()) {
                        return invalid(opened, "a quote is not closed");
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == '\n') {
                        ++line;
                    }
                    field += text[i++];
                }
            }
            while (i < text.size() && text[i] != ',' && text[i] != '\n') {
                if (text[i] == '"') {
                    return invalid(line, "a quote inside an unquoted field (quote the whole field "
                                         "and double the quote)");
                }
                field += text[i++];
            }
            if (i < text.size() && text[i] == ',') {
                ++i;
            } else {
                ended = true;
                if (i < text.size()) {
                    ++i; // the line break
                    ++line;
                }
            }
            if (!field.empty() && field.back() == '\r' && ended) {
                field.pop_back();
            }
            row.fields.push_back(std::move(field));
            field.clear();
        }
        const bool blank = row.fields.size() == 1 && row.fields.front().empty();
        if (!blank) {
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

// The trip text (Latin-1) through the settings file's own rules: UTF-8 within
// Latin-1 and no longer than the logger holds.
Result<std::string> tripText(const std::string& utf8, int line) {
    const std::string json =
        "{\"korvel\": 1, \"trip_information\": " + settingsfile::JsonString(utf8) + "}";
    settingsfile::ParsedFile parsed = settingsfile::ParseSettingsFile(json);
    if (!parsed.file) {
        return invalid(line, parsed.errors.empty() ? "trip_information: not readable"
                                                   : parsed.errors.front().Text());
    }
    const auto problems = settingsfile::CheckSettingsFile(*parsed.file);
    if (!problems.empty()) {
        return invalid(line, problems.front().Text());
    }
    return parsed.file->settings.tripInformation;
}

} // namespace

std::string SerialNumberText(std::string_view stored) {
    const std::size_t end = stored.find_last_not_of('\0');
    return std::string(stored.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

Result<std::vector<ManifestEntry>> ParseManifest(std::string_view text) {
    // Text first: UTF-16 or Latin-1 from a spreadsheet is named as such, with
    // its place, rather than failing a field's rules later.
    if (const auto faults = settingsfile::TextFaults(text); !faults.empty()) {
        return Failure{Failure::Kind::Invalid, faults.front().Text()};
    }
    const Result<std::vector<Row>> split =
        splitRows(settingsfile::WithoutByteOrderMark(text)); // spreadsheets save a mark
    if (!split) {
        return split.failure();
    }
    const std::vector<Row>& rows = *split;
    if (rows.empty() ||
        rows.front().fields != std::vector<std::string>{"serial_number", "trip_information"}) {
        return invalid(rows.empty() ? 1 : rows.front().line,
                       "the first line must be the header serial_number,trip_information");
    }
    std::vector<ManifestEntry> entries;
    std::set<std::string> seen;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const Row& row = rows[r];
        if (row.fields.size() != 2) {
            return invalid(row.line, std::to_string(row.fields.size()) +
                                         " fields; a row is serial_number,trip_information");
        }
        const std::string& serial = row.fields[0];
        if (serial.empty() || serial.size() > protocol::width::kSerialNumber) {
            return invalid(row.line, "serial_number \"" + serial + "\" is not 1 to " +
                                         std::to_string(protocol::width::kSerialNumber) +
                                         " characters");
        }
        if (!seen.insert(serial).second) {
            return invalid(row.line, "serial_number \"" + serial + "\" is listed twice");
        }
        Result<std::string> trip = tripText(row.fields[1], row.line);
        if (!trip) {
            return trip.failure();
        }
        entries.push_back({serial, *trip, row.line});
    }
    return entries;
}

} // namespace korvel::cli
