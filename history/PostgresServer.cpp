// The shared history's server through libpq. Every wait is bounded: the
// connection is made with PQconnectStartParams and PQconnectPoll, and each
// statement is sent with PQsendQueryParams and read as it comes, waiting on
// the socket with a limit, so that a server that accepts and never answers
// costs seconds, never a hang.
#include "history/RowFormat.h"
#include "history/SharedHistory.h"
#include "platform/SocketWait.h"

#include <libpq-fe.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>

namespace korvel::history {

namespace {

using protocol::Failure;
using protocol::Result;
using Clock = std::chrono::steady_clock;

// libpq's message on one line.
std::string oneLine(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos;) {
        text.replace(at, 1, "; ");
    }
    // libpq indents with tabs, which a terminal-safe line would show escaped.
    std::replace(text.begin(), text.end(), '\t', ' ');
    return text.empty() ? "no reason given" : text;
}

// Text PostgreSQL holds as it is: UTF-8 without a NUL byte.
bool PlainText(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead == 0     ? 0
                                   : lead < 0x80 ? 1
                                   : lead < 0xc2 ? 0
                                   : lead < 0xe0 ? 2
                                   : lead < 0xf0 ? 3
                                   : lead < 0xf5 ? 4
                                                 : 0;
        if (length == 0 || at + length > text.size()) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            if ((static_cast<unsigned char>(text[at + i]) & 0xc0) != 0x80) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text = "\\x";
    for (const std::uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0f];
    }
    return text;
}

std::vector<std::uint8_t> bytesOfHex(const char* text) {
    std::vector<std::uint8_t> bytes;
    if (text == nullptr || text[0] != '\\' || text[1] != 'x') {
        return bytes;
    }
    const auto nibble = [](char c) {
        return static_cast<std::uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    };
    for (const char* at = text + 2; at[0] && at[1]; at += 2) {
        bytes.push_back(static_cast<std::uint8_t>(nibble(at[0]) << 4 | nibble(at[1])));
    }
    return bytes;
}

std::string secondsText(std::chrono::milliseconds wait) {
    const auto tenths = wait.count() / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10) {
        text.append(".").append(std::to_string(tenths % 10));
    }
    return text.append(" s");
}

// connect_timeout from the connection string, when it gives one.
std::optional<std::chrono::milliseconds> connectTimeoutOf(const std::string& conninfo) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
    PQfreemem(error);
    std::optional<std::chrono::milliseconds> timeout;
    for (PQconninfoOption* option = options; option && option->keyword; ++option) {
        if (std::string(option->keyword) == "connect_timeout" && option->val &&
            std::atoi(option->val) > 0) {
            timeout = std::chrono::seconds(std::atoi(option->val));
        }
    }
    PQconninfoFree(options);
    return timeout;
}

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using ResultPtr = std::unique_ptr<PGresult, ResultDeleter>;

class PostgresServer final : public SharedServer {
public:
    PostgresServer(PGconn* connection, SharedTarget target)
        : connection_(connection), target_(std::move(target)) {}
    ~PostgresServer() override { PQfinish(connection_); }

    Result<std::int64_t> Push(const std::string& benchId,
                              const std::vector<OutboxRow>& rows) override {
        constexpr std::size_t kColumns = 22;
        std::string sql = "INSERT INTO korvel.saves (bench_id, bench_name, local_id, local_hash,"
                          " local_previous_hash, kind, attempt, time, operator, host, program,"
                          " port, serial_number, serial_number_bytes, block_before, frame,"
                          " clock_sync, batch, result, acknowledged, read_back, detail) VALUES ";
        std::vector<std::optional<std::string>> values;
        values.reserve(rows.size() * kColumns);
        for (const OutboxRow& row : rows) {
            sql += values.empty() ? "(" : ", (";
            const std::size_t first = values.size() + 1;
            for (std::size_t i = 0; i < kColumns; ++i) {
                sql += (i ? ", $" : "$") + std::to_string(first + i);
            }
            sql += ')';
            const bool attempt = row.kind == "attempt";
            const auto text = [&](bool set, const std::string& value) {
                values.push_back(set ? std::optional<std::string>(value) : std::nullopt);
            };
            const SaveAttempt& a = row.attempt;
            const SaveOutcome& o = row.outcome;
            text(true, benchId);
            text(true, target_.benchName);
            text(true, std::to_string(row.id));
            text(true, row.hash);
            text(true, row.previousHash);
            text(true, row.kind);
            text(!attempt, std::to_string(row.attemptId));
            text(true, UtcMillisecondsText(attempt ? a.time : o.time));
            text(attempt, a.operatorName);
            text(attempt, a.host);
            text(attempt, a.program);
            text(attempt, a.port);
            // As bytes when PostgreSQL's text cannot hold it as it is, so
            // that the server hashes what the bench did.
            const bool plain = PlainText(a.serialNumber);
            text(attempt && plain, a.serialNumber);
            text(attempt && !plain,
                 hexBytes(std::vector<std::uint8_t>(a.serialNumber.begin(), a.serialNumber.end())));
            text(attempt, hexBytes(a.before));
            text(attempt, hexBytes(a.frame));
            text(attempt, a.clockSync);
            text(attempt, a.batch);
            text(!attempt, o.result);
            text(!attempt, o.acknowledged ? "1" : "0");
            text(!attempt && o.readBack.has_value(), o.readBack ? hexBytes(*o.readBack) : "");
            text(!attempt, o.detail);
        }
        sql += " ON CONFLICT (bench_id, local_id) DO NOTHING";
        Result<ResultPtr> result = run(sql, values, PGRES_COMMAND_OK);
        if (!result) {
            return result.failure();
        }
        return static_cast<std::int64_t>(std::atoll(PQcmdTuples(result->get())));
    }

    Result<std::vector<SentRow>> LastSent(const std::string& benchId, std::size_t limit) override {
        Result<ResultPtr> result =
            run("SELECT local_id, local_hash FROM korvel.saves WHERE bench_id = $1"
                " ORDER BY local_id DESC LIMIT $2",
                {benchId, std::to_string(limit)}, PGRES_TUPLES_OK);
        if (!result) {
            return result.failure();
        }
        std::vector<SentRow> rows;
        for (int i = 0; i < PQntuples(result->get()); ++i) {
            rows.push_back(
                {std::atoll(PQgetvalue(result->get(), i, 0)), PQgetvalue(result->get(), i, 1)});
        }
        return rows;
    }

    // A bench's statements wait on the server no longer than the bench
    // waits for them: a lock held elsewhere costs one bounded wait, and no
    // statement is left running after the bench has given up on it.
    Result<void> LimitWaits() {
        const auto ms = [](std::chrono::milliseconds wait) {
            return std::to_string(wait.count()) + "ms";
        };
        // And bytea as hex, however the database was set up, as the rows are
        // read; and the server's clock, to compare.
        Result<ResultPtr> set =
            run("SELECT pg_catalog.set_config('lock_timeout', $1, false),"
                " pg_catalog.set_config('statement_timeout', $2, false),"
                " pg_catalog.set_config('bytea_output', 'hex', false),"
                " pg_catalog.to_char(pg_catalog.clock_timestamp() AT TIME ZONE 'UTC',"
                " 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')",
                {ms(target_.lockWait), ms(target_.answerWait)}, PGRES_TUPLES_OK);
        if (!set) {
            return set.failure();
        }
        if (const auto serverTime = ParseUtcText(PQgetvalue(set->get(), 0, 3))) {
            clockOffset_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                *serverTime - std::chrono::system_clock::now());
        }
        return {};
    }

    std::chrono::milliseconds ClockOffset() const override { return clockOffset_; }

    Result<ChainCheck> Verify(const std::string& anchor) override {
        static constexpr std::array<const char*, 23> kNames = {
            "seq",           "bench_id",     "bench_name", "local_id",   "local_hash", "kind",
            "attempt",       "time",         "operator",   "host",       "program",    "port",
            "serial_number", "block_before", "frame",      "clock_sync", "batch",      "result",
            "acknowledged",  "read_back",    "detail",     "sent_by",    "received_at"};
        // Integers and blobs by their place in kNames; the rest is text.
        const auto kindOf = [](std::size_t column) {
            switch (column) {
            case 0:
            case 3:
            case 6:
            case 18:
                return 'i';
            case 13:
            case 14:
            case 19:
                return 'b';
            default:
                return 't';
            }
        };
        ChainCheck check;
        std::string previous = kFirstPreviousHash;
        const auto found = [&check](std::int64_t row, std::string problem) {
            check.row = row;
            check.problem = std::move(problem);
        };
        std::array<RowValue, kNames.size()> values;
        const Result<void> read =
            stream("SELECT seq, bench_id, bench_name, local_id, local_hash, kind, attempt, time,"
                   " operator, host, program, port, serial_number, block_before, frame, clock_sync,"
                   " batch, result, acknowledged, read_back, detail, sent_by,"
                   " pg_catalog.to_char(received_at AT TIME ZONE 'UTC',"
                   " 'YYYY-MM-DD\"T\"HH24:MI:SS.US\"Z\"'), previous_hash, hash"
                   " FROM korvel.saves ORDER BY seq",
                   {}, [&](PGresult* r) {
                       if (check.row) {
                           return; // the rest is read, and left: the first fault is told
                       }
                       for (std::size_t i = 0; i < kNames.size(); ++i) {
                           const int column = static_cast<int>(i);
                           if (PQgetisnull(r, 0, column)) {
                               values[i] = std::monostate{};
                           } else if (kindOf(i) == 'i') {
                               values[i] =
                                   static_cast<std::int64_t>(std::atoll(PQgetvalue(r, 0, column)));
                           } else if (kindOf(i) == 'b') {
                               values[i] = RowBlob{bytesOfHex(PQgetvalue(r, 0, column))};
                           } else {
                               values[i] =
                                   std::string(PQgetvalue(r, 0, column),
                                               static_cast<std::size_t>(PQgetlength(r, 0, column)));
                           }
                       }
                       const std::int64_t seq = std::get<std::int64_t>(values[0]);
                       const std::string rowPrevious = PQgetvalue(r, 0, 23);
                       const std::string hash = PQgetvalue(r, 0, 24);
                       const std::int64_t expected = check.rows + 1;
                       ++check.rows;
                       if (seq != expected) {
                           found(expected, seq == expected + 1
                                               ? "row " + std::to_string(expected) + " was deleted"
                                               : "rows " + std::to_string(expected) + " to " +
                                                     std::to_string(seq - 1) + " were deleted");
                       } else if (SharedRowHash(rowPrevious, kNames, values) != hash) {
                           found(seq, "row " + std::to_string(seq) +
                                          " was edited: its content does not match its hash");
                       } else if (rowPrevious != previous) {
                           found(seq - 1, "row " + std::to_string(seq - 1) +
                                              " was edited or replaced: row " +
                                              std::to_string(seq) + " no longer follows it");
                       }
                       previous = hash;
                       if (!anchor.empty() && hash == anchor) {
                           check.anchorRow = seq;
                       }
                   });
        if (!read) {
            return read.failure();
        }
        if (check.row) {
            check.anchorRow.reset();
        } else if (check.rows > 0) {
            check.head = previous;
        }
        return check;
    }

    using SharedServer::List;
    Result<void> List(const ListQuery& query,
                      const std::function<void(const SharedSave&)>& onSave) override {
        std::string sql =
            "SELECT a.seq, a.bench_name, a.bench_id, a.local_id, a.time, a.serial_number,"
            " a.operator, a.host, a.program, a.port, a.clock_sync, a.batch, a.sent_by,"
            " pg_catalog.to_char(a.received_at AT TIME ZONE 'UTC',"
            " 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'),"
            " o.time, o.result, o.acknowledged, o.detail, a.frame"
            " FROM korvel.saves a LEFT JOIN korvel.saves o ON o.bench_id = a.bench_id"
            " AND o.kind = 'outcome' AND o.attempt = a.local_id"
            " WHERE a.kind = 'attempt'";
        std::vector<std::optional<std::string>> values;
        const auto where = [&](const char* test, std::string value) {
            values.emplace_back(std::move(value));
            sql.append(" AND ").append(test).append(" $").append(std::to_string(values.size()));
        };
        if (!query.serialNumber.empty()) {
            where("a.serial_number =", query.serialNumber);
        }
        // The times are UTC text of one width: their order is the text's.
        if (query.since) {
            where("a.time >=", UtcMillisecondsText(*query.since));
        }
        if (query.until) {
            where("a.time <", UtcMillisecondsText(*query.until));
        }
        sql += " ORDER BY a.seq DESC";
        if (query.limit > 0) {
            sql += " LIMIT " + std::to_string(query.limit);
        }
        return stream(sql, values, [&onSave](PGresult* r) {
            const auto text = [r](int column) { return std::string(PQgetvalue(r, 0, column)); };
            SharedSave save;
            save.seq = std::atoll(PQgetvalue(r, 0, 0));
            save.benchName = text(1);
            save.benchId = text(2);
            save.entry.id = std::atoll(PQgetvalue(r, 0, 3));
            SaveAttempt& attempt = save.entry.attempt;
            attempt.time = ParseUtcText(text(4)).value_or(std::chrono::system_clock::time_point{});
            attempt.serialNumber = text(5);
            attempt.operatorName = text(6);
            attempt.host = text(7);
            attempt.program = text(8);
            attempt.port = text(9);
            attempt.clockSync = text(10);
            attempt.batch = text(11);
            save.sentBy = text(12);
            save.receivedAt = text(13);
            if (!PQgetisnull(r, 0, 15)) {
                SaveOutcome outcome;
                outcome.time =
                    ParseUtcText(text(14)).value_or(std::chrono::system_clock::time_point{});
                outcome.result = text(15);
                outcome.acknowledged = text(16) == "1";
                outcome.detail = text(17);
                save.entry.outcome = std::move(outcome);
            }
            attempt.frame = bytesOfHex(PQgetvalue(r, 0, 18));
            onSave(save);
        });
    }

private:
    Failure failure(const std::string& doing) const {
        return {Failure::Kind::System,
                "the shared history " + doing + ": " + oneLine(PQerrorMessage(connection_))};
    }

    // Sends one statement and hands its rows over one at a time, as they
    // come: memory stays flat however many there are. The answer wait
    // bounds the time to each row, not the whole, so the server's own
    // statement_timeout is lifted for it (and set again after).
    Result<void> stream(const std::string& sql,
                        const std::vector<std::optional<std::string>>& values,
                        const std::function<void(PGresult*)>& onRow) {
        if (Result<ResultPtr> lifted =
                run("SELECT pg_catalog.set_config('statement_timeout', '0', false)", {},
                    PGRES_TUPLES_OK);
            !lifted) {
            return lifted.failure();
        }
        Result<void> read = streamRows(sql, values, onRow);
        if (read) {
            if (const Result<void> limited = LimitWaits(); !limited) {
                return limited.failure();
            }
        }
        return read;
    }

    Result<void> streamRows(const std::string& sql,
                            const std::vector<std::optional<std::string>>& values,
                            const std::function<void(PGresult*)>& onRow) {
        std::vector<const char*> pointers;
        for (const auto& value : values) {
            pointers.push_back(value ? value->c_str() : nullptr);
        }
        if (!PQsendQueryParams(connection_, sql.c_str(), static_cast<int>(pointers.size()), nullptr,
                               pointers.data(), nullptr, nullptr, 0) ||
            !PQsetSingleRowMode(connection_)) {
            return failure("could not be asked for its rows");
        }
        std::optional<Failure> refused;
        for (;;) {
            const auto deadline = Clock::now() + target_.answerWait;
            while (PQisBusy(connection_)) {
                if (!waitFor(false, deadline)) {
                    cancel();
                    return Failure{Failure::Kind::System,
                                   "the shared history's server sent no row for " +
                                       secondsText(target_.answerWait)};
                }
                if (!PQconsumeInput(connection_)) {
                    return failure("stopped answering");
                }
            }
            ResultPtr next(PQgetResult(connection_));
            if (!next) {
                break;
            }
            const ExecStatusType status = PQresultStatus(next.get());
            if (status == PGRES_SINGLE_TUPLE) {
                onRow(next.get());
            } else if (status != PGRES_TUPLES_OK && !refused) {
                refused =
                    Failure{Failure::Kind::System, "the shared history refused: " +
                                                       oneLine(PQresultErrorMessage(next.get()))};
            }
        }
        if (refused) {
            return *refused;
        }
        return {};
    }

    // Sends one statement and waits, bounded, for its whole answer.
    Result<ResultPtr> run(const std::string& sql,
                          const std::vector<std::optional<std::string>>& values,
                          ExecStatusType expected) {
        std::vector<const char*> pointers;
        pointers.reserve(values.size());
        for (const auto& value : values) {
            pointers.push_back(value ? value->c_str() : nullptr);
        }
        if (!PQsendQueryParams(connection_, sql.c_str(), static_cast<int>(pointers.size()), nullptr,
                               pointers.data(), nullptr, nullptr, 0)) {
            return failure("could not be sent the rows");
        }
        const auto deadline = Clock::now() + target_.answerWait;
        const auto timedOut = [this] {
            cancel();
            return Failure{Failure::Kind::System,
                           "the shared history's server did not answer within " +
                               secondsText(target_.answerWait)};
        };
        // A large statement may not fit the socket at once.
        int flushed = 0;
        while ((flushed = PQflush(connection_)) == 1) {
            if (!waitFor(true, deadline)) {
                return timedOut();
            }
        }
        if (flushed < 0) {
            return failure("could not be sent the rows");
        }
        // Every result up to the null one that ends the statement; the first is its answer.
        ResultPtr result;
        for (;;) {
            while (PQisBusy(connection_)) {
                if (!waitFor(false, deadline)) {
                    return timedOut();
                }
                if (!PQconsumeInput(connection_)) {
                    return failure("stopped answering");
                }
            }
            ResultPtr next(PQgetResult(connection_));
            if (!next) {
                break;
            }
            if (!result) {
                result = std::move(next);
            }
        }
        if (!result || PQresultStatus(result.get()) != expected) {
            return Failure{Failure::Kind::System,
                           "the shared history refused: " +
                               oneLine(result ? PQresultErrorMessage(result.get())
                                              : PQerrorMessage(connection_))};
        }
        return result;
    }

    // Asks the server to stop the statement given up on, so that it does not
    // run on after the connection is closed. PQcancel opens a connection of
    // its own to the server that took the statement, bounded by the
    // operating system's connect timeout; statement_timeout (LimitWaits) ends
    // the statement on the server anyway.
    void cancel() {
        if (PGcancel* request = PQgetCancel(connection_)) {
            char error[256];
            (void)PQcancel(request, error, sizeof error);
            PQfreeCancel(request);
        }
    }

    bool waitFor(bool writing, Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        return platform::WaitForSocket(PQsocket(connection_), writing, left) ==
               platform::SocketReady::Ready;
    }

    PGconn* connection_;
    SharedTarget target_;
    std::chrono::milliseconds clockOffset_{0};
};

} // namespace

bool SharedHistoryAvailable() {
    return true;
}

Result<std::unique_ptr<SharedServer>> SharedServer::Connect(const SharedTarget& target) {
    const std::chrono::milliseconds wait =
        connectTimeoutOf(target.conninfo).value_or(target.connectWait);
    // The whole string as dbname, expanded by libpq: it takes URIs and
    // key=value strings alike, and the server sees who is connecting.
    const char* keywords[] = {"dbname", "fallback_application_name", nullptr};
    const char* values[] = {target.conninfo.c_str(), "korvel", nullptr};
    PGconn* connection = PQconnectStartParams(keywords, values, 1);
    const auto refused = [&](const std::string& why) {
        PQfinish(connection);
        return Failure{Failure::Kind::System, "cannot reach the shared history: " + why};
    };
    if (connection == nullptr) {
        return refused("out of memory");
    }
    // libpq's notices (a password file it cannot use, the server's NOTICEs)
    // would land on the program's standard error, amid its own lines.
    PQsetNoticeProcessor(
        connection, [](void*, const char*) {}, nullptr);
    if (PQstatus(connection) == CONNECTION_BAD) {
        return refused(oneLine(PQerrorMessage(connection)));
    }
    const auto deadline = Clock::now() + wait;
    PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
    while (polling != PGRES_POLLING_OK) {
        if (polling == PGRES_POLLING_FAILED) {
            return refused(oneLine(PQerrorMessage(connection)));
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 ||
            platform::WaitForSocket(PQsocket(connection), polling == PGRES_POLLING_WRITING, left) ==
                platform::SocketReady::TimedOut) {
            const char* host = PQhost(connection);
            const char* port = PQport(connection);
            std::string server = "the server";
            if (host && *host) {
                server.append(" at ").append(host);
                if (port && *port) {
                    server.append(":").append(port);
                }
            }
            return refused(server + " did not answer within " + secondsText(wait));
        }
        polling = PQconnectPoll(connection);
    }
    PQsetnonblocking(connection, 1);
    auto server = std::make_unique<PostgresServer>(connection, target);
    if (const Result<void> limited = server->LimitWaits(); !limited) {
        return limited.failure();
    }
    return Result<std::unique_ptr<SharedServer>>(std::move(server));
}

} // namespace korvel::history
