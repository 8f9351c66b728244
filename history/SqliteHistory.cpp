// The history in one SQLite file. One connection behind one mutex: saves from
// several threads take turns, and other programs are kept in step by SQLite's
// own file lock (every append runs in an immediate transaction, so two
// programs never chain onto the same last row).
#include "history/HistoryStore.h"
#include "history/RowFormat.h"
#include "platform/PrivateFiles.h"

#include <sqlite3.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <variant>

namespace korvel::history {

namespace {

constexpr int kSchemaVersion = 3;

// migrations[v] brings version v up to v + 1.
constexpr std::array<const char*, kSchemaVersion> kMigrations = {
    "CREATE TABLE saves("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " kind TEXT NOT NULL CHECK (kind IN ('attempt', 'outcome')),"
    " attempt INTEGER,"
    " time TEXT NOT NULL,"
    " operator TEXT, host TEXT, program TEXT, port TEXT, serial_number TEXT,"
    " block_before BLOB, frame BLOB, clock_sync TEXT, batch TEXT,"
    " result TEXT, acknowledged INTEGER, read_back BLOB, detail TEXT,"
    " previous_hash TEXT NOT NULL, hash TEXT NOT NULL);"
    "CREATE INDEX saves_serial_number ON saves(serial_number);"
    "CREATE INDEX saves_attempt ON saves(attempt);"
    // A guard against mistakes, not against intent: the chain is what shows a
    // row changed by someone who dropped these.
    "CREATE TRIGGER saves_no_update BEFORE UPDATE ON saves"
    " BEGIN SELECT RAISE(ABORT, 'the history is append-only'); END;"
    "CREATE TRIGGER saves_no_delete BEFORE DELETE ON saves"
    " BEGIN SELECT RAISE(ABORT, 'the history is append-only'); END;",
    // The file as the shared history's outbox: the bench's id, made once, and
    // the last row the server has acknowledged (rows are sent in id order).
    // Outside the chain: neither is a record of a save.
    "CREATE TABLE bench(id TEXT NOT NULL);"
    "INSERT INTO bench VALUES (lower(hex(randomblob(16))));"
    "CREATE TABLE outbox(sent_up_to INTEGER NOT NULL);"
    "INSERT INTO outbox VALUES (0);",
    // A copy of the file forks: a new bench id for its rows from `from_row`
    // on, the newest id the one in use.
    "ALTER TABLE bench ADD COLUMN from_row INTEGER NOT NULL DEFAULT 1;",
};

// The columns a row's hash covers, in the order it covers them.
constexpr std::array<const char*, 17> kColumns = {
    "id",      "kind",   "attempt",       "time",         "operator", "host",
    "program", "port",   "serial_number", "block_before", "frame",    "clock_sync",
    "batch",   "result", "acknowledged",  "read_back",    "detail"};
// Their places in kColumns (and in a row read with SelectColumns()).
enum Col : int {
    kId,
    kKind,
    kAttempt,
    kTime,
    kOperator,
    kHost,
    kProgram,
    kPort,
    kSerialNumber,
    kBlockBefore,
    kFrame,
    kClockSync,
    kBatch,
    kResult,
    kAcknowledged,
    kReadBack,
    kDetail,
    kColumnCount
};
static_assert(kColumnCount == kColumns.size());
constexpr int kPreviousHash = static_cast<int>(kColumns.size());
constexpr int kHash = kPreviousHash + 1;

const std::string& kFirstPrevious = kFirstPreviousHash;
// The first word of the file beside the history that holds its bench id.
constexpr const char* kBenchFileWord = "korvel-bench";

using Blob = RowBlob;
using Value = RowValue;
using Row = std::array<Value, kColumns.size()>;

std::string RowHash(const std::string& previous, const Row& row) {
    return LocalRowHash(previous, kColumns, row);
}

// The first fault of row `id` in a walk along the chain that expected row
// `expected` after a row whose hash is `previous`: a row missing, the row's
// content not matching its hash, or the row not following the one before it.
struct ChainFault {
    std::int64_t row;
    std::string problem;
};

std::optional<ChainFault> LinkFault(std::int64_t expected, std::int64_t id,
                                    const std::string& previous, const std::string& rowPrevious,
                                    const Row& row, const std::string& rowHash) {
    if (id != expected) {
        return ChainFault{expected, id == expected + 1
                                        ? "row " + std::to_string(expected) + " was deleted"
                                        : "rows " + std::to_string(expected) + " to " +
                                              std::to_string(id - 1) + " were deleted"};
    }
    if (RowHash(rowPrevious, row) != rowHash) {
        return ChainFault{id, "row " + std::to_string(id) +
                                  " was edited: its content does not match its hash"};
    }
    if (rowPrevious != previous) {
        return ChainFault{id - 1, "row " + std::to_string(id - 1) +
                                      " was edited or replaced: row " + std::to_string(id) +
                                      " no longer follows it"};
    }
    return std::nullopt;
}

Value Text(const std::string& text) {
    return text;
}

Value Bytes(const std::vector<std::uint8_t>& bytes) {
    return Blob{bytes};
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        code_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return code_ == SQLITE_OK; }
    int Code() const { return code_; }

    void Bind(int index, const Value& value) {
        if (stmt_ == nullptr) {
            return;
        }
        if (const auto* number = std::get_if<std::int64_t>(&value)) {
            sqlite3_bind_int64(stmt_, index, *number);
        } else if (const auto* text = std::get_if<std::string>(&value)) {
            sqlite3_bind_text(stmt_, index, text->data(), static_cast<int>(text->size()),
                              SQLITE_TRANSIENT);
        } else if (const auto* blob = std::get_if<Blob>(&value)) {
            // A zero-length blob, not NULL, for an empty block.
            static const std::uint8_t kNone = 0;
            sqlite3_bind_blob(stmt_, index, blob->bytes.empty() ? &kNone : blob->bytes.data(),
                              static_cast<int>(blob->bytes.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(stmt_, index);
        }
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(stmt_); }

    Value Column(int index) const {
        switch (sqlite3_column_type(stmt_, index)) {
        case SQLITE_INTEGER:
            return sqlite3_column_int64(stmt_, index);
        case SQLITE_FLOAT:
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
            return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, index)));
        }
        case SQLITE_BLOB: {
            const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, index));
            const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, index));
            return Blob{std::vector<std::uint8_t>(bytes, bytes + size)};
        }
        default:
            return std::monostate{};
        }
    }
    std::int64_t Integer(int index) const { return sqlite3_column_int64(stmt_, index); }
    std::string String(int index) const {
        const Value value = Column(index);
        const auto* text = std::get_if<std::string>(&value);
        return text ? *text : std::string();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int code_ = SQLITE_OK;
};

// The columns, each after `table` ("a." for a table named a).
std::string SelectColumns(const std::string& table = "") {
    std::string list;
    for (const char* column : kColumns) {
        list += list.empty() ? "" : ", ";
        list += table + column;
    }
    return list + ", " + table + "previous_hash, " + table + "hash";
}

std::string TextOf(const Value& value) {
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

std::vector<std::uint8_t> BytesOf(const Value& value) {
    const auto* blob = std::get_if<Blob>(&value);
    return blob ? blob->bytes : std::vector<std::uint8_t>();
}

std::chrono::system_clock::time_point TimeOf(const Value& value) {
    return ParseUtcText(TextOf(value)).value_or(std::chrono::system_clock::time_point{});
}

// The attempt an attempt row of `row`'s current step holds.
SaveAttempt AttemptOf(const Statement& row) {
    SaveAttempt attempt;
    attempt.time = TimeOf(row.Column(kTime));
    attempt.operatorName = row.String(kOperator);
    attempt.host = row.String(kHost);
    attempt.program = row.String(kProgram);
    attempt.port = row.String(kPort);
    attempt.serialNumber = row.String(kSerialNumber);
    attempt.before = BytesOf(row.Column(kBlockBefore));
    attempt.frame = BytesOf(row.Column(kFrame));
    attempt.clockSync = row.String(kClockSync);
    attempt.batch = row.String(kBatch);
    return attempt;
}

using protocol::Failure;
using protocol::Result;

class SqliteHistory final : public HistoryStore {
public:
    SqliteHistory(sqlite3* db, std::string path, const StoreOptions& options)
        : db_(db), path_(std::move(path)), attemptWait_(options.busyTimeout),
          outcomeWait_(options.outcomeWait) {}
    ~SqliteHistory() override { sqlite3_close(db_); }

    const std::string& Path() const override { return path_; }

    Result<RecordedRow> RecordAttempt(const SaveAttempt& attempt) override {
        Row row;
        row[kKind] = Text("attempt");
        row[kTime] = Text(UtcMillisecondsText(attempt.time));
        row[kOperator] = Text(attempt.operatorName);
        row[kHost] = Text(attempt.host);
        row[kProgram] = Text(attempt.program);
        row[kPort] = Text(attempt.port);
        row[kSerialNumber] = Text(attempt.serialNumber);
        row[kBlockBefore] = Bytes(attempt.before);
        row[kFrame] = Bytes(attempt.frame);
        row[kClockSync] = Text(attempt.clockSync);
        row[kBatch] = Text(attempt.batch);
        return append(row, attemptWait_);
    }

    Result<RecordedRow> RecordOutcome(std::int64_t attempt, const SaveOutcome& outcome) override {
        Row row;
        row[kKind] = Text("outcome");
        row[kAttempt] = attempt;
        row[kTime] = Text(UtcMillisecondsText(outcome.time));
        row[kResult] = Text(outcome.result);
        row[kAcknowledged] = std::int64_t{outcome.acknowledged ? 1 : 0};
        if (outcome.readBack) {
            row[kReadBack] = Bytes(*outcome.readBack);
        }
        row[kDetail] = Text(outcome.detail);
        return append(row, outcomeWait_);
    }

    std::optional<std::chrono::system_clock::time_point>
    LastConfirmedSave(const std::string& serialNumber) override {
        const std::lock_guard lock(mutex_);
        Statement select(db_, "SELECT o.time FROM saves o JOIN saves a ON o.attempt = a.id"
                              " WHERE o.kind = 'outcome' AND o.result = ?"
                              " AND a.kind = 'attempt' AND a.serial_number = ?"
                              " ORDER BY o.id DESC LIMIT 1");
        select.Bind(1, Text(OutcomeName(Outcome::Confirmed)));
        select.Bind(2, Text(serialNumber));
        if (!select.Ok() || select.Step() != SQLITE_ROW) {
            return std::nullopt;
        }
        return ParseUtcText(select.String(0));
    }

    std::optional<LastSave> LastSaveOf(const std::string& serialNumber) override {
        const std::lock_guard lock(mutex_);
        // Asked on the window's thread after a Read. In WAL mode a reader
        // waits only while another program holds the file exclusively,
        // recovers it or still has it in the old journal mode.
        sqlite3_busy_timeout(db_, static_cast<int>(kLastSaveWait.count()));
        Statement select(db_, "SELECT a.time, a.operator, a.host, coalesce(o.result, '')"
                              " FROM saves a LEFT JOIN saves o"
                              " ON o.attempt = a.id AND o.kind = 'outcome'"
                              " WHERE a.kind = 'attempt' AND a.serial_number = ?"
                              " ORDER BY a.id DESC LIMIT 1");
        select.Bind(1, Text(serialNumber));
        std::optional<LastSave> last;
        if (select.Ok() && select.Step() == SQLITE_ROW) {
            last = LastSave{TimeOf(select.Column(0)), select.String(1), select.String(2),
                            select.String(3)};
        }
        sqlite3_busy_timeout(db_, static_cast<int>(attemptWait_.count()));
        return last;
    }

    using HistoryStore::List;
    Result<void> List(const ListQuery& query,
                      const std::function<void(const SaveEntry&)>& onEntry) override {
        const std::lock_guard lock(mutex_);
        return readEntries(query, std::nullopt, onEntry);
    }

    Result<SaveEntry> Find(std::int64_t id) override {
        const std::lock_guard lock(mutex_);
        std::optional<SaveEntry> found;
        const Result<void> read =
            readEntries({}, id, [&found](const SaveEntry& entry) { found = entry; });
        if (!read) {
            return read.failure();
        }
        if (!found) {
            return Failure{Failure::Kind::Invalid, "the history has no save " + std::to_string(id)};
        }
        return *found;
    }

    Result<BenchIdentity> Bench() override {
        const std::lock_guard lock(mutex_);
        return currentBench();
    }

    Result<std::vector<OutboxRow>> Unsent(std::size_t limit) override {
        const std::lock_guard lock(mutex_);
        // One snapshot: the rows and the one before them.
        if (const Result<void> begun = exec("BEGIN"); !begun) {
            return begun.failure();
        }
        Result<std::vector<OutboxRow>> rows = readUnsent(limit);
        exec("COMMIT");
        return rows;
    }

    Result<void> MarkSent(std::int64_t upTo) override {
        return setSent("UPDATE outbox SET sent_up_to = max(sent_up_to, ?)", upTo);
    }

    Result<void> ResetSent(std::int64_t upTo) override {
        return setSent("UPDATE outbox SET sent_up_to = ?", upTo);
    }

    Result<std::int64_t> UnsentCount() override {
        const std::lock_guard lock(mutex_);
        Statement count(db_, "SELECT count(*) FROM saves"
                             " WHERE id > (SELECT max(sent_up_to) FROM outbox)");
        if (!count.Ok() || count.Step() != SQLITE_ROW) {
            return failure();
        }
        return count.Integer(0);
    }

    Result<std::optional<std::string>> HashOf(std::int64_t id) override {
        const std::lock_guard lock(mutex_);
        Statement select(db_, "SELECT hash FROM saves WHERE id = ?");
        select.Bind(1, id);
        const int step = select.Ok() ? select.Step() : select.Code();
        if (step == SQLITE_ROW) {
            return std::optional<std::string>(select.String(0));
        }
        if (step != SQLITE_DONE) {
            return failure();
        }
        return std::optional<std::string>();
    }

    Result<BenchIdentity> ForkBench() override {
        const std::lock_guard lock(mutex_);
        sqlite3_busy_timeout(db_, static_cast<int>(outcomeWait_.count()));
        if (const Result<void> begun = exec("BEGIN IMMEDIATE"); !begun) {
            return begun.failure();
        }
        Result<BenchIdentity> forked = fork();
        exec(forked ? "COMMIT" : "ROLLBACK");
        sqlite3_busy_timeout(db_, static_cast<int>(attemptWait_.count()));
        return forked;
    }

    // Compares the bench id beside the file with the file's own, and forks a
    // copy (see OpenHistoryStore). `fresh`: the file was made or brought from
    // a layout without the id beside it by this open.
    Result<void> CheckBenchFile(bool fresh) {
        const std::lock_guard lock(mutex_);
        const std::string beside = BenchFilePath(path_);
        Result<BenchIdentity> bench = currentBench();
        if (!bench) {
            return bench.failure();
        }
        std::optional<std::string> recorded = readBenchFile(beside);
        if (recorded == bench->id) {
            return {};
        }
        if (!recorded && fresh) {
            return writeBenchFile(beside, bench->id);
        }
        // Decided again under the write lock: another program opening the
        // same copy may have forked it a moment ago.
        sqlite3_busy_timeout(db_, static_cast<int>(outcomeWait_.count()));
        Result<void> done = exec("BEGIN IMMEDIATE");
        if (done) {
            bench = currentBench();
            recorded = readBenchFile(beside);
            if (bench && recorded != bench->id) {
                bench = fork();
            }
            done = bench ? writeBenchFile(beside, bench->id) : Result<void>(bench.failure());
            exec(done ? "COMMIT" : "ROLLBACK");
        }
        sqlite3_busy_timeout(db_, static_cast<int>(attemptWait_.count()));
        return done;
    }

    Result<ChainCheck> Verify(const std::string& anchor) override {
        const std::lock_guard lock(mutex_);
        // One read transaction, so that a save from another program cannot
        // land between the rows and the sequence read below. In WAL mode it
        // keeps no writer out however long it takes.
        if (const Result<void> begun = exec("BEGIN"); !begun) {
            return begun.failure();
        }
        Result<ChainCheck> check = walkChain(anchor);
        exec("COMMIT");
        return check;
    }

    // Readers never keep a writer out (nor a writer readers), so `history
    // verify` or a database browser left open costs no save its record.
    // The rows are the same in either mode; only how a commit reaches the
    // file differs. A file another program holds stays in its mode until an
    // open finds it free.
    void UseWriteAheadLog() {
        exec("PRAGMA journal_mode = WAL");
        // Every commit reaches the disk before the save goes on.
        exec("PRAGMA synchronous = FULL");
    }

    // True when the file has been made a history (it has the layout table).
    Result<bool> HoldsHistory() {
        Statement table(db_, "SELECT count(*) FROM sqlite_master"
                             " WHERE type = 'table' AND name = 'korvel_schema'");
        if (!table.Ok() || table.Step() != SQLITE_ROW) {
            return failure();
        }
        return table.Integer(0) > 0;
    }

    // The layout the file had before Migrate brought it up to date; 0 for a
    // new file.
    int FoundVersion() const { return foundVersion_; }

    // Brings the file to the current layout.
    Result<void> Migrate() {
        if (Result<void> begun = exec("BEGIN IMMEDIATE"); !begun) {
            return begun;
        }
        const auto rollback = [this](Failure failed) {
            exec("ROLLBACK");
            return failed;
        };
        int version = 0;
        const Result<bool> holds = HoldsHistory();
        if (!holds) {
            return rollback(holds.failure());
        }
        if (*holds) {
            Statement select(db_, "SELECT max(version) FROM korvel_schema");
            if (!select.Ok() || select.Step() != SQLITE_ROW) {
                return rollback(failure());
            }
            version = static_cast<int>(select.Integer(0));
        } else if (const Result<void> made =
                       exec("CREATE TABLE korvel_schema(version INTEGER NOT NULL)");
                   !made) {
            return rollback(made.failure());
        }
        foundVersion_ = version;
        if (version > kSchemaVersion) {
            return rollback({Failure::Kind::Invalid,
                             path_ + " holds history version " + std::to_string(version) +
                                 ", written by a newer Korvel; this one reads up to version " +
                                 std::to_string(kSchemaVersion) + " and leaves the file as it is"});
        }
        for (int step = version; step < kSchemaVersion; ++step) {
            if (const Result<void> migrated = exec(kMigrations[static_cast<std::size_t>(step)]);
                !migrated) {
                return rollback({migrated.failure().kind,
                                 "cannot bring " + path_ + " up to history version " +
                                     std::to_string(step + 1) + ": " + migrated.failure().message});
            }
        }
        if (version < kSchemaVersion) {
            for (const std::string& sql :
                 {std::string("DELETE FROM korvel_schema"),
                  "INSERT INTO korvel_schema VALUES (" + std::to_string(kSchemaVersion) + ")"}) {
                if (const Result<void> done = exec(sql.c_str()); !done) {
                    return rollback(done.failure());
                }
            }
        }
        return exec("COMMIT");
    }

private:
    Failure failure() const {
        const int code = sqlite3_extended_errcode(db_);
        if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) {
            return {Failure::Kind::System, path_ + " is locked by another program"};
        }
        return {Failure::Kind::System, path_ + ": " + sqlite3_errmsg(db_)};
    }

    Result<BenchIdentity> currentBench() {
        Statement select(db_, "SELECT id, from_row FROM bench ORDER BY from_row DESC, rowid DESC"
                              " LIMIT 1");
        if (!select.Ok() || select.Step() != SQLITE_ROW) {
            return failure();
        }
        return BenchIdentity{select.String(0), select.Integer(1)};
    }

    // Inside a write transaction: a new id for every row not acknowledged.
    Result<BenchIdentity> fork() {
        if (const Result<void> added =
                exec("INSERT INTO bench (id, from_row) SELECT lower(hex(randomblob(16))),"
                     " max(sent_up_to) + 1 FROM outbox");
            !added) {
            return added.failure();
        }
        return currentBench();
    }

    static std::optional<std::string> readBenchFile(const std::string& beside) {
        std::ifstream in(beside);
        std::string word;
        std::string id;
        if (!(in >> word >> id) || word != kBenchFileWord) {
            return std::nullopt;
        }
        return id;
    }

    Result<void> writeBenchFile(const std::string& beside, const std::string& id) {
        // Whole or not at all: written aside, then renamed over.
        const std::string aside = beside + ".new";
        {
            std::ofstream out(aside, std::ios::trunc);
            out << kBenchFileWord << ' ' << id << '\n';
            if (!out.flush()) {
                return Failure{Failure::Kind::System, "cannot write " + aside};
            }
        }
        std::error_code error;
        std::filesystem::rename(aside, beside, error);
        if (error) {
            return Failure{Failure::Kind::System,
                           "cannot write " + beside + ": " + error.message()};
        }
        return {};
    }

    Result<void> setSent(const char* sql, std::int64_t upTo) {
        const std::lock_guard lock(mutex_);
        sqlite3_busy_timeout(db_, static_cast<int>(outcomeWait_.count()));
        Statement update(db_, sql);
        update.Bind(1, upTo);
        const bool done = update.Ok() && update.Step() == SQLITE_DONE;
        sqlite3_busy_timeout(db_, static_cast<int>(attemptWait_.count()));
        if (!done) {
            return failure();
        }
        return {};
    }

    Result<std::vector<OutboxRow>> readUnsent(std::size_t limit) {
        std::int64_t after = 0;
        {
            Statement mark(db_, "SELECT max(sent_up_to) FROM outbox");
            if (!mark.Ok() || mark.Step() != SQLITE_ROW) {
                return failure();
            }
            after = mark.Integer(0);
        }
        // The rows chain onto the last one sent.
        std::string previous = kFirstPrevious;
        if (after > 0) {
            Statement last(db_, "SELECT hash FROM saves WHERE id = ?");
            last.Bind(1, after);
            const int step = last.Ok() ? last.Step() : last.Code();
            if (step == SQLITE_ROW) {
                previous = last.String(0);
            } else if (step != SQLITE_DONE) {
                return failure();
            }
        }
        std::vector<OutboxRow> rows;
        Statement select(
            db_,
            ("SELECT " + SelectColumns() + " FROM saves WHERE id > ? ORDER BY id LIMIT ?").c_str());
        select.Bind(1, after);
        select.Bind(2, static_cast<std::int64_t>(limit));
        int step = select.Ok() ? SQLITE_OK : select.Code();
        std::int64_t expected = after + 1;
        while (select.Ok() && (step = select.Step()) == SQLITE_ROW) {
            Row values;
            for (std::size_t i = 0; i < values.size(); ++i) {
                values[i] = select.Column(static_cast<int>(i));
            }
            OutboxRow row;
            row.id = select.Integer(kId);
            row.hash = select.String(kHash);
            row.previousHash = select.String(kPreviousHash);
            if (const std::optional<ChainFault> fault =
                    LinkFault(expected, row.id, previous, row.previousHash, values, row.hash)) {
                return Failure{Failure::Kind::Invalid,
                               path_ + ": " + fault->problem + "; nothing from row " +
                                   std::to_string(expected) + " on is sent to the shared history"};
            }
            row.kind = select.String(kKind);
            if (row.kind == "attempt") {
                row.attempt = AttemptOf(select);
            } else {
                row.attemptId = select.Integer(kAttempt);
                SaveOutcome& outcome = row.outcome;
                outcome.time = TimeOf(select.Column(kTime));
                outcome.result = select.String(kResult);
                outcome.acknowledged = select.Integer(kAcknowledged) != 0;
                const Value readBack = select.Column(kReadBack);
                if (std::holds_alternative<Blob>(readBack)) {
                    outcome.readBack = BytesOf(readBack);
                }
                outcome.detail = select.String(kDetail);
            }
            previous = row.hash;
            ++expected;
            rows.push_back(std::move(row));
        }
        if (step != SQLITE_DONE) {
            return failure();
        }
        return rows;
    }

    Result<void> exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            return failure();
        }
        return {};
    }

    // Appends the row in its own immediate transaction, waiting up to `wait`
    // for another writer's lock.
    Result<RecordedRow> append(Row& row, std::chrono::milliseconds wait) {
        const std::lock_guard lock(mutex_);
        sqlite3_busy_timeout(db_, static_cast<int>(wait.count()));
        if (const Result<void> begun = exec("BEGIN IMMEDIATE"); !begun) {
            return begun.failure();
        }
        const auto fail = [&] {
            Failure failed = failure();
            exec("ROLLBACK");
            return failed;
        };
        std::string previous = kFirstPrevious;
        {
            Statement last(db_, "SELECT hash FROM saves ORDER BY id DESC LIMIT 1");
            const int step = last.Ok() ? last.Step() : last.Code();
            if (step == SQLITE_ROW) {
                previous = last.String(0);
            } else if (step != SQLITE_DONE) {
                return fail();
            }
        }
        // The id is part of what the hash covers, so it is taken before the
        // insert: AUTOINCREMENT never hands out an id twice, not even after a
        // deletion of the last row.
        std::int64_t id = 1;
        {
            Statement next(db_, "SELECT max(coalesce((SELECT seq FROM sqlite_sequence"
                                " WHERE name = 'saves'), 0), coalesce(max(id), 0)) + 1"
                                " FROM saves");
            if (!next.Ok() || next.Step() != SQLITE_ROW) {
                return fail();
            }
            id = next.Integer(0);
        }
        row[kId] = id;
        const std::string hash = RowHash(previous, row);
        static const std::string insert = [] {
            std::string places;
            for (std::size_t i = 0; i < kColumns.size() + 2; ++i) {
                places += i == 0 ? "?" : ", ?";
            }
            return "INSERT INTO saves (" + SelectColumns() + ") VALUES (" + places + ")";
        }();
        Statement add(db_, insert.c_str());
        if (!add.Ok()) {
            return fail();
        }
        for (std::size_t i = 0; i < row.size(); ++i) {
            add.Bind(static_cast<int>(i) + 1, row[i]);
        }
        add.Bind(kPreviousHash + 1, Text(previous));
        add.Bind(kHash + 1, Text(hash));
        if (add.Step() != SQLITE_DONE) {
            return fail();
        }
        if (const Result<void> committed = exec("COMMIT"); !committed) {
            exec("ROLLBACK");
            return committed.failure();
        }
        return RecordedRow{id, hash};
    }

    Result<ChainCheck> walkChain(const std::string& anchor) {
        ChainCheck check;
        Statement rows(db_, ("SELECT " + SelectColumns() + " FROM saves ORDER BY id").c_str());
        if (!rows.Ok()) {
            return failure();
        }
        std::string previous = kFirstPrevious;
        std::int64_t expected = 1;
        const auto found = [&check](std::int64_t row, std::string problem) {
            check.row = row;
            check.problem = std::move(problem);
            check.head.clear();
            check.anchorRow.reset();
            return check;
        };
        int step = SQLITE_OK;
        while ((step = rows.Step()) == SQLITE_ROW) {
            Row row;
            for (std::size_t i = 0; i < row.size(); ++i) {
                row[i] = rows.Column(static_cast<int>(i));
            }
            const std::int64_t id = rows.Integer(0);
            ++check.rows;
            if (const std::optional<ChainFault> fault = LinkFault(
                    expected, id, previous, rows.String(kPreviousHash), row, rows.String(kHash))) {
                return found(fault->row, fault->problem);
            }
            previous = rows.String(kHash);
            if (!anchor.empty() && previous == anchor) {
                check.anchorRow = id;
            }
            ++expected;
        }
        if (step != SQLITE_DONE) {
            return failure();
        }
        // The newest rows leave no gap behind them; the id counter remembers them.
        Statement sequence(db_, "SELECT seq FROM sqlite_sequence WHERE name = 'saves'");
        if (sequence.Ok() && sequence.Step() == SQLITE_ROW && sequence.Integer(0) >= expected) {
            const std::int64_t last = sequence.Integer(0);
            return found(expected, last == expected
                                       ? "row " + std::to_string(expected) + " was deleted"
                                       : "rows " + std::to_string(expected) + " to " +
                                             std::to_string(last) + " were deleted");
        }
        if (check.rows > 0) {
            check.head = previous;
        }
        return check;
    }

    // The saves whose attempt row matches, newest first, each with its
    // (last) outcome, handed over one at a time.
    Result<void> readEntries(const ListQuery& query, std::optional<std::int64_t> id,
                             const std::function<void(const SaveEntry&)>& onEntry) {
        std::string sql = "SELECT " + SelectColumns("a.") +
                          ", o.time, o.result, o.acknowledged, o.read_back, o.detail"
                          " FROM saves a LEFT JOIN saves o ON o.id = (SELECT max(id) FROM saves"
                          " WHERE kind = 'outcome' AND attempt = a.id)"
                          " WHERE a.kind = 'attempt'";
        if (!query.serialNumber.empty()) {
            sql += " AND a.serial_number = ?1";
        }
        if (id) {
            sql += " AND a.id = ?2";
        }
        // The times are UTC text of one width: their order is the text's.
        if (query.since) {
            sql += " AND a.time >= ?3";
        }
        if (query.until) {
            sql += " AND a.time < ?4";
        }
        sql += " ORDER BY a.id DESC";
        if (query.limit > 0) {
            sql += " LIMIT ?5";
        }
        Statement rows(db_, sql.c_str());
        if (!query.serialNumber.empty()) {
            rows.Bind(1, Text(query.serialNumber));
        }
        if (id) {
            rows.Bind(2, *id);
        }
        if (query.since) {
            rows.Bind(3, Text(UtcMillisecondsText(*query.since)));
        }
        if (query.until) {
            rows.Bind(4, Text(UtcMillisecondsText(*query.until)));
        }
        if (query.limit > 0) {
            rows.Bind(5, static_cast<std::int64_t>(query.limit));
        }
        constexpr int kOutcome = kHash + 1; // the outcome's columns follow the attempt's
        int step = rows.Ok() ? SQLITE_OK : rows.Code();
        while (rows.Ok() && (step = rows.Step()) == SQLITE_ROW) {
            SaveEntry entry;
            entry.id = rows.Integer(kId);
            entry.attempt = AttemptOf(rows);
            if (std::holds_alternative<std::string>(rows.Column(kOutcome + 1))) {
                SaveOutcome outcome;
                outcome.time = TimeOf(rows.Column(kOutcome));
                outcome.result = rows.String(kOutcome + 1);
                outcome.acknowledged = rows.Integer(kOutcome + 2) != 0;
                const Value readBack = rows.Column(kOutcome + 3);
                if (std::holds_alternative<Blob>(readBack)) {
                    outcome.readBack = BytesOf(readBack);
                }
                outcome.detail = rows.String(kOutcome + 4);
                entry.outcome = std::move(outcome);
            }
            onEntry(entry);
        }
        if (step != SQLITE_DONE) {
            return failure();
        }
        return {};
    }

    std::mutex mutex_;
    sqlite3* db_;
    std::string path_;
    std::chrono::milliseconds attemptWait_;
    std::chrono::milliseconds outcomeWait_;
    int foundVersion_ = 0;
};

} // namespace

Result<std::unique_ptr<HistoryStore>> OpenHistoryStore(const std::string& path,
                                                       const StoreOptions& options) {
    if (path.empty()) {
        return Failure{Failure::Kind::Invalid, "no place for the history: set HOME or "
                                               "XDG_DATA_HOME, or give --history PATH"};
    }
    // Not created where the history commands look: an empty history would
    // pass as intact where the file was deleted. (A path that cannot be looked
    // at is left to the open, which names the reason.)
    std::error_code unknown;
    if (!options.create && !std::filesystem::exists(path, unknown) && !unknown) {
        return Failure{Failure::Kind::System,
                       "there is no history of saves at " + path +
                           ": no save was recorded there, or the file was moved or deleted; "
                           "name the file with --history PATH"};
    }
    // The history holds the loggers' passwords: a folder or file made here is
    // its owner's only (SQLite gives its journal the file's mode). A failure
    // here is told by the opening below.
    if (options.createFolder) {
        (void)platform::CreatePrivateFolders(std::filesystem::path(path).parent_path().string());
    }
    if (options.create) {
        (void)platform::CreatePrivateFile(path);
    }
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (options.create ? SQLITE_OPEN_CREATE : 0);
    const int code = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (code != SQLITE_OK) {
        std::string reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
        sqlite3_close(db);
        return Failure{Failure::Kind::System, "cannot open " + path + ": " + reason};
    }
    sqlite3_busy_timeout(db, static_cast<int>(options.busyTimeout.count()));
    auto store = std::make_unique<SqliteHistory>(db, path, options);
    if (!options.create) {
        // An empty file, or another database, is not made a history here.
        const Result<bool> holds = store->HoldsHistory();
        if (!holds) {
            return holds.failure();
        }
        if (!*holds) {
            return Failure{Failure::Kind::Invalid, path + " holds no history of saves"};
        }
    }
    store->UseWriteAheadLog();
    if (const Result<void> migrated = store->Migrate(); !migrated) {
        return migrated.failure();
    }
    // A file that cannot be written beside (or not just now) keeps its id:
    // the server still refuses rows that differ from those it holds under it.
    constexpr int kFirstWithBenchFile = 3;
    (void)store->CheckBenchFile(store->FoundVersion() < kFirstWithBenchFile);
    return Result<std::unique_ptr<HistoryStore>>(std::move(store));
}

bool HistoryAvailable() {
    return true;
}

} // namespace korvel::history
