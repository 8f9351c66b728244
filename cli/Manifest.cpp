#include "cli/Manifest.h"

#include "protocol/Frame.h"
#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"

#include <set>

namespace korvel::cli {

namespace {

struct Row {
    std::vector<std::string> fields;
    int line = 0;
};

struct Rows {
    std::vector<Row> rows;
    std::string error;
};

// CSV records: fields split at commas, quoted fields may hold anything,
// records end at an unquoted line break (LF or CR LF).
Rows splitRows(std::string_view text) {
    Rows out;
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
                        out.error = "line " + std::to_string(opened) + ": a quote is not closed";
                        return out;
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
                    out.error = "line " + std::to_string(line) +
                                ": a quote inside an unquoted field (quote the whole field and "
                                "double the quote)";
                    return out;
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
            out.rows.push_back(std::move(row));
        }
    }
    return out;
}

// The trip text through the settings file's own rules: UTF-8 within Latin-1
// and no longer than the logger holds.
std::string tripProblem(const std::string& utf8, std::string& latin1) {
    const std::string json =
        "{\"korvel\": 1, \"trip_information\": " + settingsfile::JsonString(utf8) + "}";
    settingsfile::ParsedFile parsed = settingsfile::ParseSettingsFile(json);
    if (!parsed.file) {
        return parsed.errors.empty() ? "trip_information: not readable"
                                     : parsed.errors.front().Text();
    }
    const auto problems = settingsfile::CheckSettingsFile(*parsed.file);
    if (!problems.empty()) {
        return problems.front().Text();
    }
    latin1 = parsed.file->settings.tripInformation;
    return {};
}

} // namespace

std::string SerialNumberText(std::string_view stored) {
    const std::size_t end = stored.find_last_not_of('\0');
    return std::string(stored.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

ParsedManifest ParseManifest(std::string_view text) {
    ParsedManifest parsed;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3); // spreadsheets save a byte-order mark
    }
    Rows split = splitRows(text);
    if (!split.error.empty()) {
        parsed.error = std::move(split.error);
        return parsed;
    }
    const auto fail = [&parsed](int line, const std::string& message) {
        parsed.error = "line " + std::to_string(line) + ": " + message;
        return parsed;
    };
    if (split.rows.empty() || split.rows.front().fields !=
                                  std::vector<std::string>{"serial_number", "trip_information"}) {
        return fail(split.rows.empty() ? 1 : split.rows.front().line,
                    "the first line must be the header serial_number,trip_information");
    }
    std::vector<ManifestEntry> entries;
    std::set<std::string> seen;
    for (std::size_t r = 1; r < split.rows.size(); ++r) {
        const Row& row = split.rows[r];
        if (row.fields.size() != 2) {
            return fail(row.line, std::to_string(row.fields.size()) +
                                      " fields; a row is serial_number,trip_information");
        }
        const std::string& serial = row.fields[0];
        if (serial.empty() || serial.size() > protocol::width::kSerialNumber) {
            return fail(row.line, "serial_number \"" + serial + "\" is not 1 to " +
                                      std::to_string(protocol::width::kSerialNumber) +
                                      " characters");
        }
        if (!seen.insert(serial).second) {
            return fail(row.line, "serial_number \"" + serial + "\" is listed twice");
        }
        ManifestEntry entry{serial, {}, row.line};
        if (std::string problem = tripProblem(row.fields[1], entry.tripInformation);
            !problem.empty()) {
            return fail(row.line, problem);
        }
        entries.push_back(std::move(entry));
    }
    parsed.entries = std::move(entries);
    return parsed;
}

} // namespace korvel::cli
