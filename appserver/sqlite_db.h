#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

namespace AppServer {

// One SQLite connection. Each request opens its own, so tests may change the database while the
// server runs and no connection is shared between the server's threads.
class SqliteDb {
public:
    explicit SqliteDb(const std::string& path);
    void exec(const std::string& sql);
    sqlite3* handle() const { return db_.get(); }

private:
    struct Closer {
        void operator()(sqlite3* db) const { sqlite3_close(db); }
    };
    std::unique_ptr<sqlite3, Closer> db_;
};

// A prepared statement with positional text parameters.
class SqliteStatement {
public:
    SqliteStatement(const SqliteDb& db, const std::string& sql);
    void bind(int index, const std::string& text);
    bool step(); // true while a row is available
    sqlite3_stmt* handle() const { return stmt_.get(); }
    std::string text(int column) const;

private:
    struct Finalizer {
        void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
    };
    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalizer> stmt_;
};

} // namespace AppServer
