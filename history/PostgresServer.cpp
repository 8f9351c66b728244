// The shared history's server through libpq. Every wait is bounded: the
// connection is made with PQconnectStartParams and PQconnectPoll, and each
// statement is sent with PQsendQueryParams and read as it comes, waiting on
// the socket with a limit, so that a server that accepts and never answers
// costs seconds, never a hang.
#include "history/SharedHistory.h"
#include "platform/SocketWait.h"

#include <libpq-fe.h>

#include <cstdlib>

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
    return text.empty() ? "no reason given" : text;
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
        std::string sql = "INSERT INTO korvel.saves (bench_id, bench_name, local_id, local_hash,"
                          " kind, attempt, time, operator, host, program, port, serial_number,"
                          " block_before, frame, clock_sync, batch, result, acknowledged,"
                          " read_back, detail) VALUES ";
        std::vector<std::optional<std::string>> values;
        values.reserve(rows.size() * 20);
        for (const OutboxRow& row : rows) {
            sql += values.empty() ? "(" : ", (";
            const std::size_t first = values.size() + 1;
            for (std::size_t i = 0; i < 20; ++i) {
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
            text(true, row.kind);
            text(!attempt, std::to_string(row.attemptId));
            text(true, UtcMillisecondsText(attempt ? a.time : o.time));
            text(attempt, a.operatorName);
            text(attempt, a.host);
            text(attempt, a.program);
            text(attempt, a.port);
            text(attempt, a.serialNumber);
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

    Result<SharedCheck> Verify() override {
        Result<ResultPtr> result =
            run("SELECT count(*), min(seq) FILTER (WHERE NOT hash_ok),"
                " min(seq) FILTER (WHERE NOT linked), min(position) FILTER (WHERE seq <> position),"
                " (SELECT hash FROM korvel.saves ORDER BY seq DESC LIMIT 1)"
                " FROM (SELECT seq, korvel.row_hash(s) = hash AS hash_ok,"
                " previous_hash = coalesce(lag(hash) OVER w, repeat('0', 64)) AS linked,"
                " row_number() OVER w AS position"
                " FROM korvel.saves s WINDOW w AS (ORDER BY seq)) c",
                {}, PGRES_TUPLES_OK);
        if (!result) {
            return result.failure();
        }
        PGresult* r = result->get();
        SharedCheck check;
        check.rows = std::atoll(PQgetvalue(r, 0, 0));
        const auto at = [r](int column) -> std::optional<std::int64_t> {
            if (PQgetisnull(r, 0, column)) {
                return std::nullopt;
            }
            return std::atoll(PQgetvalue(r, 0, column));
        };
        // The earliest fault is the one told.
        const std::optional<std::int64_t> edited = at(1), unlinked = at(2), missing = at(3);
        std::int64_t first = INT64_MAX;
        for (const auto& found : {edited, unlinked, missing}) {
            if (found && *found < first) {
                first = *found;
            }
        }
        if (missing && *missing == first) {
            check.row = first;
            check.problem = "row " + std::to_string(first) + " was deleted";
        } else if (edited && *edited == first) {
            check.row = first;
            check.problem =
                "row " + std::to_string(first) + " was edited: its content does not match its hash";
        } else if (unlinked) {
            check.row = first - 1;
            check.problem = "row " + std::to_string(first - 1) + " was edited or replaced: row " +
                            std::to_string(first) + " no longer follows it";
        } else if (!PQgetisnull(r, 0, 4)) {
            check.head = PQgetvalue(r, 0, 4);
        }
        return check;
    }

    Result<std::vector<SharedSave>> List(const std::string& serialNumber) override {
        std::string sql =
            "SELECT a.seq, a.bench_name, a.bench_id, a.local_id, a.time, a.serial_number,"
            " a.operator, a.host, a.program, a.port, a.clock_sync, a.batch, a.sent_by,"
            " to_char(a.received_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'),"
            " o.time, o.result, o.acknowledged, o.detail, a.frame"
            " FROM korvel.saves a LEFT JOIN korvel.saves o ON o.bench_id = a.bench_id"
            " AND o.kind = 'outcome' AND o.attempt = a.local_id"
            " WHERE a.kind = 'attempt'";
        std::vector<std::optional<std::string>> values;
        if (!serialNumber.empty()) {
            sql += " AND a.serial_number = $1";
            values.emplace_back(serialNumber);
        }
        sql += " ORDER BY a.seq DESC";
        Result<ResultPtr> result = run(sql, values, PGRES_TUPLES_OK);
        if (!result) {
            return result.failure();
        }
        PGresult* r = result->get();
        std::vector<SharedSave> saves;
        for (int i = 0; i < PQntuples(r); ++i) {
            const auto text = [r, i](int column) { return std::string(PQgetvalue(r, i, column)); };
            SharedSave save;
            save.seq = std::atoll(PQgetvalue(r, i, 0));
            save.benchName = text(1);
            save.benchId = text(2);
            save.entry.id = std::atoll(PQgetvalue(r, i, 3));
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
            if (!PQgetisnull(r, i, 15)) {
                SaveOutcome outcome;
                outcome.time =
                    ParseUtcText(text(14)).value_or(std::chrono::system_clock::time_point{});
                outcome.result = text(15);
                outcome.acknowledged = text(16) == "1";
                outcome.detail = text(17);
                save.entry.outcome = std::move(outcome);
            }
            attempt.frame = bytesOfHex(PQgetvalue(r, i, 18));
            saves.push_back(std::move(save));
        }
        return saves;
    }

private:
    Failure failure(const std::string& doing) const {
        return {Failure::Kind::System,
                "the shared history " + doing + ": " + oneLine(PQerrorMessage(connection_))};
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
    return Result<std::unique_ptr<SharedServer>>(
        std::make_unique<PostgresServer>(connection, target));
}

} // namespace korvel::history
