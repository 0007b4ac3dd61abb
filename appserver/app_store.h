#pragma once

#include <string>
#include <vector>

namespace AppServer {

// One HTTP reply of the application server: status and JSON body, optionally held back.
struct AppReply {
    int status = 200;
    std::string body;
    int delayMs = 0;
};

// The server objects and methods served from the SQLite settings database. Every reply can be
// replaced per (server, method) through the reply_override table.
class AppStore {
public:
    explicit AppStore(std::string dbPath);

    // Creates the tables that do not exist yet.
    void applySchema() const;

    AppReply connect(const std::string& server) const;
    AppReply call(const std::string& server, const std::string& method, const std::vector<std::string>& args) const;

private:
    std::string dbPath_;
};

std::string errorBody(const std::string& message);

} // namespace AppServer
