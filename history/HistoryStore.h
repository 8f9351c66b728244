#pragma once
// The history file: every save's attempt and outcome as rows that are only
// ever appended, each carrying the SHA-256 of the row before it together with
// its own content, so that an edited or deleted row shows. The store is also
// what `korvel-cli history` lists, shows and verifies.
//
// A build without SQLite has no store: OpenHistoryStore says so.
//
// The chain detects edits made behind the program's back; it does not prevent
// them, and anyone who can write the file can rebuild the whole chain. Rows
// cut from its end (with the id counter), an older copy put back or a new
// file in place of a deleted one verify as intact on their own: only a head
// hash kept elsewhere (ChainCheck::head, RecordedRow::hash) shows them.

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

// Which saves a list shows: one logger's when `serialNumber` is not empty;
// those whose attempt is at or after `since` and before `until`; at most
// `limit` of them (0: all).
struct ListQuery {
    std::string serialNumber;
    std::optional<std::chrono::system_clock::time_point> since;
    std::optional<std::chrono::system_clock::time_point> until;
    std::size_t limit = 0;
};

struct ChainCheck {
    std::int64_t rows = 0; // rows read
    // The first row found edited, or the first missing one; empty when intact.
    std::optional<std::int64_t> row;
    std::string problem; // says what is wrong with `row`
    // The hash of the last row, onto which the next row will chain; empty
    // when there are no rows or the chain is broken.
    std::string head;
    // Verify with an anchor: the intact row whose hash the anchor is; empty
    // when no row of the chain has it (rows were cut from the end, or the file
    // was replaced), or when the chain is broken.
    std::optional<std::int64_t> anchorRow;
    bool Intact() const { return !row; }
};

// A row of the file as the shared history takes it: an attempt (`attempt`
// set) or an outcome (`attemptId` and `outcome` set).
struct OutboxRow {
    std::int64_t id = 0;
    std::string hash;         // the row's hash in this file's chain
    std::string previousHash; // the hash of the row before it, which `hash` covers
    std::string kind;         // "attempt" or "outcome"
    SaveAttempt attempt;
    std::int64_t attemptId = 0;
    SaveOutcome outcome;
};

// The id this file sends its rows under, from `fromRow` on; the rows before
// it went to the server under an earlier id.
struct BenchIdentity {
    std::string id;
    std::int64_t fromRow = 1;
};

class HistoryStore : public SaveHistory {
public:
    virtual const std::string& Path() const = 0;
    // The saves `query` asks for, newest first, each handed to `onEntry` as
    // it is read: memory stays flat however long the history. A failure when
    // the file cannot be read.
    virtual protocol::Result<void> List(const ListQuery& query,
                                        const std::function<void(const SaveEntry&)>& onEntry) = 0;
    // All of one logger's saves (or every save), newest first, at once.
    protocol::Result<std::vector<SaveEntry>> List(const std::string& serialNumber) {
        std::vector<SaveEntry> entries;
        const protocol::Result<void> read =
            List({serialNumber, {}, {}, 0},
                 [&entries](const SaveEntry& entry) { entries.push_back(entry); });
        if (!read) {
            return read.failure();
        }
        return entries;
    }
    // The save whose attempt row is `id`; a failure when there is none or the
    // file cannot be read.
    virtual protocol::Result<SaveEntry> Find(std::int64_t id) = 0;
    // Walks the chain from the first row in one snapshot of the file, looking
    // also for the row whose hash is `anchor` (64 lower-case hex digits; empty
    // for none). A failure when the file cannot be read.
    virtual protocol::Result<ChainCheck> Verify(const std::string& anchor) = 0;

    // The file as the outbox of the shared history (SharedHistory.h).
    // This bench's id: random, made with the file, 32 hex digits; made anew
    // (ForkBench) when the file turns out to be a copy.
    virtual protocol::Result<BenchIdentity> Bench() = 0;
    // Up to `limit` rows the server has not acknowledged yet, oldest first.
    // A failure, naming the row, when one of them or its link to the row
    // before them no longer matches its hash: an edited file sends nothing.
    virtual protocol::Result<std::vector<OutboxRow>> Unsent(std::size_t limit) = 0;
    // The server holds every row up to `upTo`.
    virtual protocol::Result<void> MarkSent(std::int64_t upTo) = 0;
    // The server holds the rows up to `upTo` and no later ones: what it said
    // it has, which may be fewer than were sent (a server restored or
    // replaced).
    virtual protocol::Result<void> ResetSent(std::int64_t upTo) = 0;
    virtual protocol::Result<std::int64_t> UnsentCount() = 0;
    // The hash of row `id`; none when the file has no such row.
    virtual protocol::Result<std::optional<std::string>> HashOf(std::int64_t id) = 0;
    // Gives the file a new bench id for the rows the server has not
    // acknowledged, so that a copy of a bench's file and the original no
    // longer send rows under one id.
    virtual protocol::Result<BenchIdentity> ForkBench() = 0;
};

struct StoreOptions {
    // How long an attempt row waits for another program's write lock before
    // it gives up with a warning: short, so that a locked file never holds up
    // a save. Readers never hold a writer up: the file is in WAL mode.
    std::chrono::milliseconds busyTimeout{2000};
    // How long an outcome row waits for it: the save is over, and a missing
    // outcome would read as a save cut short, so waiting costs nothing.
    std::chrono::milliseconds outcomeWait{30000};
    bool createFolder = false; // create the file's folder when it is missing
    // False: the file must exist and hold a history, as for `history`; a
    // missing one is refused, never created.
    bool create = true;
};

// Opens the file, creating it (when `options.create`) or bringing an older
// layout up to date inside one transaction, and puts it in WAL mode. A file
// from a newer Korvel is refused and left as it is.
//
// Beside the file, BenchFilePath(path) names the bench id the file was last
// opened with there. A file found without it (copied alone to another
// computer) or with another id (copied over another bench's file) is a copy:
// it is given a new bench id (ForkBench) before anything is sent.
protocol::Result<std::unique_ptr<HistoryStore>> OpenHistoryStore(const std::string& path,
                                                                 const StoreOptions& options);

std::string BenchFilePath(const std::string& historyPath);

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
