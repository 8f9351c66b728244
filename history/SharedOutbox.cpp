// The outbox's pushes and its worker; the server itself is SharedServer
// (PostgresServer.cpp, or NoSharedServer.cpp without libpq).
#include "history/SharedHistory.h"

namespace korvel::history {

namespace {

// Rows per INSERT: 20 parameters each, well under PostgreSQL's 65,535.
constexpr std::size_t kBatch = 1000;
// After a failure, saves leave the server alone for this long.
constexpr std::chrono::seconds kRetryAfter{30};

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
    protocol::Result<std::string> benchId = store_.BenchId();
    if (!benchId) {
        fail(benchId.failure().message);
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
        if (!server_) {
            auto connected = SharedServer::Connect(target_);
            if (!connected) {
                fail(connected.failure().message);
                break;
            }
            server_ = std::move(connected).take();
        }
        const protocol::Result<std::int64_t> taken = server_->Push(*benchId, *rows);
        if (!taken) {
            fail(taken.failure().message);
            break;
        }
        report.sent += *taken;
        if (const protocol::Result<void> marked = store_.MarkSent(rows->back().id); !marked) {
            // The server has them; the next push sends them again, and it
            // takes each once.
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
