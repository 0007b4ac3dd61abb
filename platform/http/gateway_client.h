#pragma once

#include "platform/common/platform_export.h"
#include "platform/http/connection_string.h"

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace Platform {

class TIdHTTP;

// The gateway's settings as the application server gives them.
struct GatewaySettings {
    std::string connectionString;  // Address=...&Login=...&Password=...&Path=...&FileDir=...
    std::string port;              // empty: the scheme's own
    int https = 0;                 // 1: https, anything else http
};

// The gateway's requests, over an HTTP client that the caller owns, as HTTP Basic with the connection
// string's Login and Password. Every request goes to <scheme>://<Address>[:<port>]/<Path>/<endpoint>
// with its arguments as query parameters, percent-encoded UTF-8; `dir` is always absolute. Each call
// throws what the client throws: HttpError with the server's text for a status outside 2xx,
// HttpCancelled when abandoned, std::runtime_error for a network failure.
class PLATFORM_API GatewayClient {
public:
    GatewayClient(TIdHTTP& http, const GatewaySettings& settings);

    // GET cwd?dir=<from>&to=<to>: the directory the gateway answers (the first line of its reply);
    // 404 when there is no such directory.
    std::string changeDir(const std::string& from, const std::string& to);
    // GET list?dir=<dir>: the listing's lines, CP1252 decoded.
    std::vector<std::string> list(const std::string& dir);
    // GET file?dir=<dir>&name=<name>: the file's bytes into out, exactly Content-Length of them.
    void download(const std::string& dir, const std::string& name, std::ostream& out);
    // The same from byte `from` on (Range, If-Range: the Last-Modified the first reply gave);
    // HttpRangeIgnored when the gateway sends the whole file instead.
    void downloadFrom(const std::string& dir, const std::string& name, std::ostream& out, std::int64_t from,
                      const std::string& ifRange);
    // The Last-Modified of the last download's reply.
    std::string lastModified() const;
    // POST file?dir=<dir>&name=<name>, multipart/form-data with the one part "file"; the gateway
    // stores the file only once it is complete.
    void upload(const std::string& dir, const std::string& name, const std::string& localPath);
    // POST delete?dir=<dir>&name=<name>&kind=file|dir; 409 for a directory that is not empty.
    void remove(const std::string& dir, const std::string& name, bool isDirectory);
    // POST mkdir?dir=<dir>&name=<name>; 409 when the name exists.
    void makeDir(const std::string& dir, const std::string& name);

    // The URL of one request; every request above is made by it.
    std::string url(const std::string& endpoint, const std::vector<std::pair<std::string, std::string>>& query) const;

private:
    // The client with this gateway's credentials, set anew for every request: a client may serve
    // more than one gateway in its life.
    TIdHTTP& authorised();

    TIdHTTP& http_;
    GatewayConnection connection_;
    std::string base_;
};

} // namespace Platform
