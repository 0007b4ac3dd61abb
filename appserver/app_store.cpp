#include "appserver/app_store.h"

#include "appserver/schema_sql.h"
#include "appserver/sqlite_db.h"

#include <Poco/JSON/Array.h>
#include <Poco/JSON/Object.h>

#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace AppServer {
namespace {

// A failure of a built-in method, answered with its own status.
struct CallError : std::runtime_error {
    CallError(int status, const std::string& message) : std::runtime_error(message), status(status) {}
    int status;
};

using Method = std::function<Poco::Dynamic::Var(const SqliteDb&, const std::vector<std::string>&)>;

std::string toJson(const Poco::JSON::Object& value)
{
    std::ostringstream out;
    value.stringify(out);
    return out.str();
}

std::string resultBody(const Poco::Dynamic::Var& result)
{
    Poco::JSON::Object body;
    body.set("result", result);
    return toJson(body);
}

std::string fieldType(const char* declared)
{
    const std::string type = declared ? declared : "";
    if (type == "INTEGER" || type == "INT")
        return "integer";
    if (type == "REAL" || type == "FLOAT" || type == "DOUBLE")
        return "float";
    if (type == "BOOLEAN")
        return "boolean";
    return "string";
}

Poco::Dynamic::Var cellValue(sqlite3_stmt* stmt, int column, const std::string& type)
{
    const int storage = sqlite3_column_type(stmt, column);
    if (storage == SQLITE_NULL)
        return {};
    if (type == "integer" && storage == SQLITE_INTEGER)
        return static_cast<Poco::Int64>(sqlite3_column_int64(stmt, column));
    if (type == "float" && (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT))
        return sqlite3_column_double(stmt, column);
    if (type == "boolean" && storage == SQLITE_INTEGER)
        return sqlite3_column_int64(stmt, column) != 0;
    const auto* text = sqlite3_column_text(stmt, column);
    return std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(stmt, column));
}

// The rows of a query as a data packet: {"fields":[{"name","type"}...], "rows":[[...]...]}.
Poco::JSON::Object::Ptr dataPacket(SqliteStatement& query)
{
    sqlite3_stmt* stmt = query.handle();
    const int columns = sqlite3_column_count(stmt);
    Poco::JSON::Array::Ptr fields = Poco::makeShared<Poco::JSON::Array>();
    std::vector<std::string> types;
    for (int c = 0; c < columns; ++c) {
        types.push_back(fieldType(sqlite3_column_decltype(stmt, c)));
        Poco::JSON::Object::Ptr field = Poco::makeShared<Poco::JSON::Object>();
        field->set("name", std::string(sqlite3_column_name(stmt, c)));
        field->set("type", types.back());
        fields->add(field);
    }
    Poco::JSON::Array::Ptr rows = Poco::makeShared<Poco::JSON::Array>();
    while (query.step()) {
        Poco::JSON::Array::Ptr row = Poco::makeShared<Poco::JSON::Array>();
        for (int c = 0; c < columns; ++c)
            row->add(cellValue(stmt, c, types[static_cast<std::size_t>(c)]));
        rows->add(row);
    }
    Poco::JSON::Object::Ptr packet = Poco::makeShared<Poco::JSON::Object>();
    packet->set("fields", fields);
    packet->set("rows", rows);
    return packet;
}

void expectArgs(const std::string& method, const std::vector<std::string>& args, std::size_t count)
{
    if (args.size() != count)
        throw CallError(400, method + " expects " + std::to_string(count) + " argument(s), got " + std::to_string(args.size()));
}

Poco::Dynamic::Var getHttp(const SqliteDb& db, const std::vector<std::string>& args)
{
    expectArgs("GetHttp", args, 0);
    SqliteStatement query(db,
        "SELECT IDUTPARAMHTTPGER, HTTPHOSADDR, HTTPPORT, IDUTHTTPPROXY, HTTPPROXYHOST, HTTPPROXYPORT, "
        "HTTPPROXYUSERID, HTTPHTTPS FROM http_param ORDER BY rowid");
    return dataPacket(query);
}

Poco::Dynamic::Var getTableData(const SqliteDb& db, const std::vector<std::string>& args)
{
    expectArgs("GetTableData", args, 1);
    SqliteStatement query(db, "SELECT content FROM local_cache WHERE table_name = ?");
    query.bind(1, args[0]);
    if (!query.step())
        throw CallError(404, "No local-cache data under the name given"); // the name is the caller's text: not echoed
    if (sqlite3_column_type(query.handle(), 0) == SQLITE_NULL)
        return {};
    return query.text(0);
}

Poco::Dynamic::Var getDadosFtp(const SqliteDb& db, const std::vector<std::string>& args)
{
    expectArgs("GetDadosFTP", args, 0);
    SqliteStatement query(db, "SELECT status, address, login, password, organisation FROM ftp_data ORDER BY rowid LIMIT 1");
    if (!query.step())
        return std::string("Dados de acesso ao servidor FTP não cadastrados.");
    Poco::JSON::Array::Ptr reply = Poco::makeShared<Poco::JSON::Array>();
    for (int c = 0; c < 5; ++c)
        reply->add(cellValue(query.handle(), c, "string"));
    return reply;
}

const std::map<std::string, std::map<std::string, Method>>& builtIns()
{
    static const std::map<std::string, std::map<std::string, Method>> servers = {
        {"Bib.rdmDBGeral", {{"GetHttp", getHttp}}},
        {"Bib.rdmLocalCache", {{"GetTableData", getTableData}}},
        {"VOP31600.rdmCtrlArqXMLNFe", {{"GetDadosFTP", getDadosFtp}}},
    };
    return servers;
}

std::optional<AppReply> overrideFor(const SqliteDb& db, const std::string& server, const std::string& method)
{
    SqliteStatement query(db, "SELECT http_status, body, delay_ms FROM reply_override WHERE server = ? AND method = ?");
    query.bind(1, server);
    query.bind(2, method);
    if (!query.step())
        return std::nullopt;
    return AppReply{sqlite3_column_int(query.handle(), 0), query.text(1), sqlite3_column_int(query.handle(), 2)};
}

bool serverExists(const SqliteDb& db, const std::string& server)
{
    if (builtIns().count(server))
        return true;
    SqliteStatement query(db, "SELECT 1 FROM reply_override WHERE server = ? LIMIT 1");
    query.bind(1, server);
    return query.step();
}

AppReply unknownServer(const std::string& server)
{
    return {404, errorBody("Server object '" + server + "' does not exist on this application server"), 0};
}

} // namespace

std::string errorBody(const std::string& message)
{
    Poco::JSON::Object body;
    body.set("error", message);
    return toJson(body);
}

AppStore::AppStore(std::string dbPath) : dbPath_(std::move(dbPath)) {}

void AppStore::applySchema() const
{
    SqliteDb db(dbPath_);
    db.exec(schemaSql);
}

AppReply AppStore::connect(const std::string& server) const
{
    try {
        SqliteDb db(dbPath_);
        if (auto staged = overrideFor(db, server, ""))
            return *staged;
        if (!serverExists(db, server))
            return unknownServer(server);
        Poco::JSON::Object body;
        body.set("server", server);
        return {200, toJson(body), 0};
    } catch (const std::exception& e) {
        return {500, errorBody(e.what()), 0};
    }
}

AppReply AppStore::call(const std::string& server, const std::string& method, const std::vector<std::string>& args) const
{
    try {
        SqliteDb db(dbPath_);
        if (auto staged = overrideFor(db, server, method))
            return *staged;
        if (!serverExists(db, server))
            return unknownServer(server);
        const auto serverIt = builtIns().find(server);
        if (serverIt == builtIns().end() || !serverIt->second.count(method))
            return {404, errorBody("Method '" + method + "' does not exist on server object '" + server + "'"), 0};
        return {200, resultBody(serverIt->second.at(method)(db, args)), 0};
    } catch (const CallError& e) {
        return {e.status, errorBody(e.what()), 0};
    } catch (const std::exception& e) {
        return {500, errorBody(e.what()), 0};
    }
}

} // namespace AppServer
