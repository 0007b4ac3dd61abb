#include "appserver/sqlite_db.h"

#include <stdexcept>

namespace AppServer {

SqliteDb::SqliteDb(const std::string& path)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open database " + path + ": " + (raw ? sqlite3_errmsg(raw) : "out of memory"));
    // A test may be writing the file at the same moment.
    sqlite3_busy_timeout(raw, 5000);
}

void SqliteDb::exec(const std::string& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : sqlite3_errmsg(db_.get());
        sqlite3_free(message);
        throw std::runtime_error("SQL error: " + text);
    }
}

SqliteStatement::SqliteStatement(const SqliteDb& db, const std::string& sql) : db_(db.handle())
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("SQL error: ") + sqlite3_errmsg(db_));
    stmt_.reset(raw);
}

void SqliteStatement::bind(int index, const std::string& text)
{
    if (sqlite3_bind_text(stmt_.get(), index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        throw std::runtime_error(std::string("SQL error: ") + sqlite3_errmsg(db_));
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw std::runtime_error(std::string("SQL error: ") + sqlite3_errmsg(db_));
}

std::string SqliteStatement::text(int column) const
{
    const auto* bytes = sqlite3_column_text(stmt_.get(), column);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), sqlite3_column_bytes(stmt_.get(), column)) : std::string();
}

} // namespace AppServer
