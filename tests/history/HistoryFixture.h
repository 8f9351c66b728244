#pragma once
// A history file in a fresh temporary folder, and a second, raw SQLite
// connection to it for doing what other programs (or people) do behind the
// store's back.

#include "history/HistoryStore.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace korvel::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvel-history-XXXXXX");
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Another connection to the file.
class RawDatabase {
public:
    explicit RawDatabase(const std::string& path) { sqlite3_open(path.c_str(), &db_); }
    ~RawDatabase() { sqlite3_close(db_); }
    RawDatabase(const RawDatabase&) = delete;
    RawDatabase& operator=(const RawDatabase&) = delete;

    // SQLite's complaint, empty when the statements ran.
    std::string Try(const std::string& sql) {
        char* message = nullptr;
        const int code = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
        std::string complaint = code == SQLITE_OK ? "" : message ? message : "failed";
        sqlite3_free(message);
        return complaint;
    }
    void Exec(const std::string& sql) { EXPECT_EQ(Try(sql), "") << sql; }
    // The first column of the first row, as text.
    std::string Scalar(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        std::string value;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
            value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        }
        sqlite3_finalize(stmt);
        return value;
    }

private:
    sqlite3* db_ = nullptr;
};

// Lets a row be changed by hand, as the store's own guard does not.
inline const char* kDropGuards = "DROP TRIGGER saves_no_update; DROP TRIGGER saves_no_delete;";

} // namespace korvel::testing
