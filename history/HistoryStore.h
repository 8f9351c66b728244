#pragma once
// The history file: every save's attempt and outcome as rows that are only
// ever appended, each carrying the SHA-256 of the row before it together with
// its own content, so that an edited or deleted row shows. The store is also
// what `korvel-cli history` lists, shows and verifies.
//
// A build without SQLite has no store: OpenHistoryStore says so.
//
// The chain detects edits made behind the program's back; it does not prevent
// them, and anyone who can write the file can rebuild the whole chain.

#include "history/SaveHistory.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvel::history {

// One save: its attempt row and, once written, its outcome row.
struct SaveEntry {
    std::int64_t id = 0; // the attempt row's id; `history show ID` takes it
    SaveAttempt attempt;
    std::optional<SaveOutcome> outcome;
};

struct ChainCheck {
    std::int64_t rows = 0; // rows read
    // The first row found edited, or the first missing one; empty when intact.
    std::optional<std::int64_t> row;
    std::string problem; // says what is wrong with `row`
    bool Intact() const { return !row; }
};

class HistoryStore : public SaveHistory {
public:
    virtual const std::string& Path() const = 0;
    // Newest first; only the logger's saves when `serialNumber` is not empty.
    // Nothing, with `error`, when the file cannot be read.
    virtual std::optional<std::vector<SaveEntry>> List(const std::string& serialNumber,
                                                       std::string& error) = 0;
    // The save whose attempt row is `id`; nothing when there is none or the
    // file cannot be read (`error` says which).
    virtual std::optional<SaveEntry> Find(std::int64_t id, std::string& error) = 0;
    // Walks the chain from the first row; nothing, with `error`, when it
    // cannot be read.
    virtual std::optional<ChainCheck> Verify(std::string& error) = 0;
};

struct StoreOptions {
    // How long a write waits for another program's lock before it gives up
    // with a warning: short, so that a locked file never holds up a save.
    std::chrono::milliseconds busyTimeout{2000};
    bool createFolder = false; // create the file's folder when it is missing
};

// Opens the file, creating it or bringing an older layout up to date inside
// one transaction. A file from a newer Korvel is refused and left as it is.
// Nothing, with `error`, when it cannot be opened.
std::unique_ptr<HistoryStore> OpenHistoryStore(const std::string& path, const StoreOptions& options,
                                               std::string& error);

// False in a build without SQLite, which keeps no history.
bool HistoryAvailable();

// $XDG_DATA_HOME/korvel/history.sqlite3, or ~/.local/share/korvel/ when
// XDG_DATA_HOME is unset or relative; empty when neither is known.
// `environment` returns a variable's value or null.
std::string DefaultHistoryPath(const std::function<const char*(const char*)>& environment);

// "2025-06-01T12:00:00.250Z" and back; the history's times are UTC text.
std::string UtcMillisecondsText(std::chrono::system_clock::time_point time);
std::optional<std::chrono::system_clock::time_point> ParseUtcText(const std::string& text);

} // namespace korvel::history
