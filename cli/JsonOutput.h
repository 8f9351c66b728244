#pragma once
// The JSON korvel-cli prints for scripts, built in one place: every object
// starts with "format_version", and a command's outcome (also its failure)
// has one shape: {"format_version": 1, "ok": false, "exit_code": 2,
// "errors": [{"key": "alarm.low", "line": 4, "column": 5, "message": "..."}]}.

#include "protocol/SettingsValidation.h"
#include "settingsfile/JsonTree.h"
#include "settingsfile/SettingsFile.h"

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::cli {

// Raised when a member changes meaning or goes; new members leave it alone.
inline constexpr int kJsonFormatVersion = 1;

// One error as JSON gives it; key, line and column are those known (empty
// key and line 0 when not).
struct ErrorItem {
    std::string key;
    std::size_t line = 0;
    std::size_t column = 0;
    std::string message;
    friend bool operator==(const ErrorItem&, const ErrorItem&) = default;
};

// The errors a command told, for its JSON outcome. Safe from several threads
// (the provisioning stations tell theirs at once).
class ErrorRecord {
public:
    void Add(ErrorItem item);
    std::vector<ErrorItem> Items() const;
    // The command printed its outcome itself; the dispatcher then prints none.
    void MarkPrinted();
    bool Printed() const;

private:
    mutable std::mutex mutex_;
    std::vector<ErrorItem> items_;
    bool printed_ = false;
};

// {"format_version": 1, members...}
settingsfile::Node VersionedObject(std::vector<settingsfile::Member> members);

// {"format_version": 1, "ok": ..., "exit_code": ..., "errors": [...], members...}
settingsfile::Node OutcomeObject(int exitCode, const std::vector<ErrorItem>& errors,
                                 std::vector<settingsfile::Member> members = {});

// A settings file's errors with the keys, lines and columns they are at in
// `text`: a JSON mistake by its place, any other by its key path and the place
// of that key (for a missing key, of the object that should hold it; for a
// duplicate, of the repetition).
std::vector<ErrorItem> FileErrorItems(const std::vector<settingsfile::FileError>& errors,
                                      std::string_view text);

} // namespace korvel::cli
