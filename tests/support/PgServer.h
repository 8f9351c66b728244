#pragma once
// The private PostgreSQL server of the shared-history tests
// (tests/history/pg-server.sh): the one CTest starts for the whole run, or one
// a test starts for itself to stop and start again. Each test makes its own
// database from korvel_template, which holds the shipped SQL script.

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>

namespace korvel::testing {

class PgServer {
public:
    // The server whose folder is `dir`; empty fields when it is not running.
    explicit PgServer(std::string dir) : dir_(std::move(dir)) { readEnv(); }

    // A server of the test's own, started now and stopped with the object.
    static std::unique_ptr<PgServer> StartPrivate(const std::string& dir) {
        if (!Script("start " + dir + " " + KORVEL_SHARED_HISTORY_SQL)) {
            return nullptr;
        }
        auto server = std::make_unique<PgServer>(dir);
        server->owned_ = true;
        return server;
    }
    ~PgServer() {
        if (owned_) {
            Script("stop " + dir_);
        }
    }
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool Running() const { return !port_.empty(); }
    // Stops it, keeping its data, and starts it again on the same port.
    bool Pause() const { return Script("pause " + dir_); }
    bool Resume() const { return Script("resume " + dir_); }

    // A new database holding the shared history's schema.
    std::string NewDatabase() {
        static std::atomic<int> made{0};
        const std::string name =
            "korvel_t" + std::to_string(::getpid()) + "_" + std::to_string(made++);
        Exec("postgres", "korvel_admin", "CREATE DATABASE " + name + " TEMPLATE korvel_template");
        return name;
    }

    // A connection string for `user` (owner1, bench1..bench4) over the socket.
    std::string Conninfo(const std::string& database, const std::string& user) const {
        return "host=" + dir_ + " port=" + port_ + " dbname=" + database + " user=" + user +
               " passfile=" + dir_ + "/pgpass connect_timeout=10";
    }
    const std::string& Port() const { return port_; }
    const std::string& Dir() const { return dir_; }

    // Runs `sql`; the server's error message, or empty when it succeeded.
    std::string Exec(const std::string& database, const std::string& user,
                     const std::string& sql) const {
        PGconn* connection = PQconnectdb(Conninfo(database, user).c_str());
        std::string error;
        if (PQstatus(connection) != CONNECTION_OK) {
            error = PQerrorMessage(connection);
        } else {
            PGresult* result = PQexec(connection, sql.c_str());
            const ExecStatusType status = PQresultStatus(result);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
                error = PQresultErrorMessage(result);
            }
            PQclear(result);
        }
        PQfinish(connection);
        return error;
    }

    // The first column of the first row, or "ERROR: ..." .
    std::string Scalar(const std::string& database, const std::string& user,
                       const std::string& sql) const {
        PGconn* connection = PQconnectdb(Conninfo(database, user).c_str());
        std::string value;
        PGresult* result = PQexec(connection, sql.c_str());
        if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0) {
            value = PQgetvalue(result, 0, 0);
        } else {
            value = "ERROR: " + std::string(PQerrorMessage(connection));
        }
        PQclear(result);
        PQfinish(connection);
        return value;
    }

    static bool Script(const std::string& arguments) {
        const std::string command =
            std::string("timeout 120 ") + KORVEL_PG_SERVER_SCRIPT + " " + arguments;
        return std::system(command.c_str()) == 0;
    }

private:
    void readEnv() {
        std::ifstream in(dir_ + "/env");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("PGPORT=", 0) == 0) {
                port_ = line.substr(7);
            }
        }
    }

    std::string dir_;
    std::string port_;
    bool owned_ = false;
};

// The server CTest started for the run (the korvel_pg fixture).
inline PgServer& SharedServerOfRun() {
    static PgServer server(KORVEL_TEST_PG_DIR);
    return server;
}

} // namespace korvel::testing
