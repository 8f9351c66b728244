#pragma once
// The shared history: every bench's rows on one PostgreSQL server, which
// keeps its own SHA-256 chain over them in the order it received them
// (packaging/korvel-shared-history.sql). The local history file is the
// outbox: a save is recorded there first, exactly as without a server, and
// its rows are sent afterwards. Each push first asks the server which of the
// bench's rows it holds and sends from there (a server restored or replaced
// is refilled); the server takes a row once however often it comes (bench id
// and local id are unique there). A row the server holds under the same
// bench id and local id with other content is a conflict (a copied file, or
// another login using the id): nothing more is sent and every push says so.
// A server that is down, slow or refuses costs a warning, never a save or a
// record.
//
// A build without libpq has no shared history: SharedHistoryAvailable() says
// so and connecting fails with that message.

#include "history/HistoryStore.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace korvel::history {

bool SharedHistoryAvailable();

struct SharedTarget {
    std::string conninfo;  // a libpq connection string or URI
    std::string benchName; // how the server's rows name this bench
    // How long a connection may take (libpq's connect_timeout in `conninfo`
    // overrides it), and how long a statement may wait for its answer.
    std::chrono::milliseconds connectWait{10000};
    std::chrono::milliseconds answerWait{30000};
    // How long a statement may wait for a lock on the server (another bench's
    // append, or one held by hand) before the server gives it up.
    std::chrono::milliseconds lockWait{5000};
};

// A row of a bench as the server holds it.
struct SentRow {
    std::int64_t localId = 0;
    std::string localHash;
};

// A save as the server holds it.
struct SharedSave {
    std::int64_t seq = 0; // the attempt row's place in the server's chain
    std::string benchName;
    std::string benchId;
    std::string sentBy;     // the database login that sent it
    std::string receivedAt; // the server's time of receipt, UTC text
    SaveEntry entry;        // entry.id: the attempt's id in its bench's history
};

// One connection to the server. Not for several threads at once.
class SharedServer {
public:
    static protocol::Result<std::unique_ptr<SharedServer>> Connect(const SharedTarget& target);
    virtual ~SharedServer() = default;
    // Sends the rows; how many the server had not had before.
    virtual protocol::Result<std::int64_t> Push(const std::string& benchId,
                                                const std::vector<OutboxRow>& rows) = 0;
    // The bench's last `limit` rows, the highest local id first.
    virtual protocol::Result<std::vector<SentRow>> LastSent(const std::string& benchId,
                                                            std::size_t limit) = 0;
    // Reads the server's chain row by row and checks it here, with this
    // program's SHA-256 (a function on the server could be replaced by its
    // owner), looking also for the row whose hash is `anchor` (empty for
    // none). ChainCheck's rows are the server's seq numbers.
    virtual protocol::Result<ChainCheck> Verify(const std::string& anchor) = 0;
    // The server's clock less this computer's, as read when connecting.
    virtual std::chrono::milliseconds ClockOffset() const = 0;
    // The saves `query` asks for, newest first (in the server's order), each
    // handed to `onSave` as it arrives: memory stays flat however many.
    virtual protocol::Result<void> List(const ListQuery& query,
                                        const std::function<void(const SharedSave&)>& onSave) = 0;
    // All of one logger's saves (or every save), newest first, at once.
    protocol::Result<std::vector<SharedSave>> List(const std::string& serialNumber) {
        std::vector<SharedSave> saves;
        const protocol::Result<void> read = List(
            {serialNumber, {}, {}, 0}, [&saves](const SharedSave& save) { saves.push_back(save); });
        if (!read) {
            return read.failure();
        }
        return saves;
    }
};

struct PushReport {
    std::int64_t sent = 0;    // rows the server took for the first time
    std::int64_t waiting = 0; // rows still in the outbox
    std::string problem;      // why the server could not take them; empty when it did
    // Set when this computer's clock is more than a minute off the server's:
    // the loggers are set from this clock.
    std::string clockWarning;
};

// Sends the outbox's rows, on the caller's thread or on its own worker. One
// per store; safe to use from any thread.
class SharedOutbox {
public:
    SharedOutbox(HistoryStore& store, SharedTarget target);
    ~SharedOutbox(); // waits for a push under way (its waits are bounded)
    SharedOutbox(const SharedOutbox&) = delete;
    SharedOutbox& operator=(const SharedOutbox&) = delete;

    // Sends every row waiting, now.
    PushReport PushNow();
    // Asks the worker to send what waits; returns at once. After a failure
    // the worker leaves the server alone for a while instead of trying at
    // every save.
    void PushInBackground();
    // Waits for the worker, then sends what still waits unless the last try
    // failed; what a program reports when it is done.
    PushReport Finish();

private:
    void work();
    // Sets the outbox's mark to what the server holds of the bench; a failure
    // when it holds other rows under the bench's id than the file's.
    protocol::Result<void> catchUp(const BenchIdentity& bench);

    HistoryStore& store_;
    SharedTarget target_;
    std::mutex pushMutex_; // one push at a time, and the connection
    std::unique_ptr<SharedServer> server_;
    std::mutex mutex_; // the worker's state and the last report
    std::condition_variable changed_;
    bool requested_ = false;
    bool busy_ = false;
    bool stopping_ = false;
    std::int64_t sentTotal_ = 0;
    std::string lastProblem_;
    std::chrono::steady_clock::time_point failedAt_{};
    std::thread worker_;
};

// A SaveHistory that records in the store, then asks the outbox to send.
class PushingHistory final : public SaveHistory {
public:
    PushingHistory(SaveHistory& local, SharedOutbox& outbox) : local_(local), outbox_(outbox) {}
    protocol::Result<RecordedRow> RecordAttempt(const SaveAttempt& attempt) override;
    protocol::Result<RecordedRow> RecordOutcome(std::int64_t attempt,
                                                const SaveOutcome& outcome) override;
    std::optional<std::chrono::system_clock::time_point>
    LastConfirmedSave(const std::string& serialNumber) override {
        return local_.LastConfirmedSave(serialNumber);
    }
    std::optional<LastSave> LastSaveOf(const std::string& serialNumber) override {
        return local_.LastSaveOf(serialNumber);
    }

private:
    SaveHistory& local_;
    SharedOutbox& outbox_;
};

} // namespace korvel::history
