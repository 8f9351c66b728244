// The outbox's pushes and its worker; the server itself is SharedServer
// (PostgresServer.cpp, or NoSharedServer.cpp without libpq).
#include "history/SharedHistory.h"

namespace korvel::history {

namespace {

// Rows per INSERT: 22 parameters each, well under PostgreSQL's 65,535.
constexpr std::size_t kBatch = 1000;
// A bench clock this far off the server's is told.
constexpr std::chrono::minutes kClockTolerance{1};
// The rows of a conflict named in its message; the rest are counted.
constexpr std::size_t kConflictsNamed = 10;
// After a failure, saves leave the server alone for this long.
constexpr std::chrono::seconds kRetryAfter{30};

// The rows by id: "row 11" or "rows 11, 12 and 3 more".
std::string ConflictText(const std::string& benchId, const std::vector<std::int64_t>& rows) {
    std::string named;
    for (std::size_t i = 0; i < rows.size() && i < kConflictsNamed; ++i) {
        named += (i == 0 ? "" : ", ") + std::to_string(rows[i]);
    }
    if (rows.size() > kConflictsNamed) {
        named += " and " + std::to_string(rows.size() - kConflictsNamed) + " more";
    }
    return "conflict: the shared history holds other rows under this bench's id " + benchId +
           (rows.empty()
                ? std::string()
                : " than this file's row" + std::string(rows.size() == 1 ? " " : "s ") + named) +
           "; the file was copied from another bench's, or another login sent rows under its "
           "id. Nothing more is sent until `korvel-cli history sync --new-bench-id` gives this "
           "file a new id";
}

std::string ClockWarning(std::chrono::milliseconds offset) {
    if (offset < kClockTolerance && -offset < kClockTolerance) {
        return {};
    }
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(offset < offset.zero() ? -offset : offset);
    return "this computer's clock is " + std::to_string(seconds.count()) + " s " +
           (offset < offset.zero() ? "ahead of" : "behind") +
           " the shared history's server; the loggers are set from this clock, so set it right "
           "(or let it synchronise)";
}

} // namespace

SharedOutbox::SharedOutbox(HistoryStore& store, SharedTarget target)
    : store_(store), target_(std::move(target)) {}

SharedOutbox::~SharedOutbox() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

PushReport SharedOutbox::PushNow() {
    const std::lock_guard push(pushMutex_);
    PushReport report;
    const auto fail = [&](const std::string& problem) {
        report.problem = problem;
        server_.reset();
    };
    const protocol::Result<BenchIdentity> bench = store_.Bench();
    if (!bench) {
        fail(bench.failure().message);
    } else if (!server_) {
        // Asked every time, rows waiting or not: a server that lost rows has
        // to hear of them again.
        auto connected = SharedServer::Connect(target_);
        if (connected) {
            server_ = std::move(connected).take();
        } else {
            fail(connected.failure().message);
        }
    }
    if (report.problem.empty()) {
        report.clockWarning = ClockWarning(server_->ClockOffset());
        if (const protocol::Result<void> caught = catchUp(*bench); !caught) {
            fail(caught.failure().message);
        }
    }
    while (report.problem.empty()) {
        protocol::Result<std::vector<OutboxRow>> rows = store_.Unsent(kBatch);
        if (!rows) {
            fail(rows.failure().message);
            break;
        }
        if (rows->empty()) {
            break;
        }
        const protocol::Result<std::int64_t> taken = server_->Push(bench->id, *rows);
        if (!taken) {
            fail(taken.failure().message);
            break;
        }
        report.sent += *taken;
        if (const protocol::Result<void> marked = store_.MarkSent(rows->back().id); !marked) {
            // The server has them; the next push asks it, and it takes each
            // once.
            fail(marked.failure().message);
            break;
        }
    }
    const protocol::Result<std::int64_t> waiting = store_.UnsentCount();
    report.waiting = waiting ? *waiting : 0;
    {
        const std::lock_guard lock(mutex_);
        sentTotal_ += report.sent;
        lastProblem_ = report.problem;
        if (!report.problem.empty()) {
            failedAt_ = std::chrono::steady_clock::now();
        }
    }
    return report;
}

protocol::Result<void> SharedOutbox::catchUp(const BenchIdentity& bench) {
    const protocol::Result<std::vector<SentRow>> last = server_->LastSent(bench.id, 1);
    if (!last) {
        return last.failure();
    }
    if (last->empty()) {
        return store_.ResetSent(bench.fromRow - 1);
    }
    const SentRow& newest = last->front();
    const protocol::Result<std::optional<std::string>> local = store_.HashOf(newest.localId);
    if (!local) {
        return local.failure();
    }
    if (*local == newest.localHash) {
        return store_.ResetSent(newest.localId);
    }
    // Which rows differ: walking back from the server's newest row to the
    // last one both hold alike, where the two histories parted.
    std::vector<std::int64_t> differing;
    if (const protocol::Result<std::vector<SentRow>> held = server_->LastSent(bench.id, kBatch)) {
        for (const SentRow& row : *held) {
            const protocol::Result<std::optional<std::string>> mine = store_.HashOf(row.localId);
            if (mine && *mine == row.localHash) {
                break;
            }
            differing.insert(differing.begin(), row.localId);
        }
    }
    return protocol::Failure{protocol::Failure::Kind::Invalid, ConflictText(bench.id, differing)};
}

void SharedOutbox::PushInBackground() {
    {
        const std::lock_guard lock(mutex_);
        if (!lastProblem_.empty() && std::chrono::steady_clock::now() - failedAt_ < kRetryAfter) {
            return;
        }
        requested_ = true;
        if (!worker_.joinable()) {
            worker_ = std::thread([this] { work(); });
        }
    }
    changed_.notify_all();
}

void SharedOutbox::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return requested_ || stopping_; });
        if (!requested_) {
            return;
        }
        requested_ = false;
        // A save made while the last try was failing asks again; the answer
        // would be the same.
        if (!lastProblem_.empty() && std::chrono::steady_clock::now() - failedAt_ < kRetryAfter) {
            continue;
        }
        busy_ = true;
        lock.unlock();
        PushNow();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

PushReport SharedOutbox::Finish() {
    bool failed = false;
    std::int64_t sentBefore = 0;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !requested_ && !busy_; });
        failed = !lastProblem_.empty();
        sentBefore = sentTotal_;
    }
    PushReport report;
    if (failed) {
        // One warning for the run: the server was tried and could not take them.
        const std::lock_guard lock(mutex_);
        report.problem = lastProblem_;
        const protocol::Result<std::int64_t> waiting = store_.UnsentCount();
        report.waiting = waiting ? *waiting : 0;
        report.sent = sentTotal_;
        return report;
    }
    report = PushNow();
    report.sent += sentBefore;
    return report;
}

protocol::Result<RecordedRow> PushingHistory::RecordAttempt(const SaveAttempt& attempt) {
    protocol::Result<RecordedRow> row = local_.RecordAttempt(attempt);
    if (row) {
        outbox_.PushInBackground();
    }
    return row;
}

protocol::Result<RecordedRow> PushingHistory::RecordOutcome(std::int64_t attempt,
                                                            const SaveOutcome& outcome) {
    protocol::Result<RecordedRow> row = local_.RecordOutcome(attempt, outcome);
    if (row) {
        outbox_.PushInBackground();
    }
    return row;
}

} // namespace korvel::history
