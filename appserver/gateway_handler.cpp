#include "appserver/gateway_handler.h"

#include "appserver/dos_listing.h"
#include "appserver/gateway_error.h"
#include "appserver/gateway_upload.h"

#include <Poco/CountingStream.h>
#include <Poco/Net/HTMLForm.h>
#include <Poco/Net/HTTPBasicCredentials.h>
#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/NullStream.h>
#include <Poco/StreamCopier.h>
#include <Poco/URI.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace AppServer {
namespace {

using Query = std::map<std::string, std::string>;

// Percent-decoding only: a '+' in a name stays a '+'.
Query parseQuery(const std::string& raw)
{
    Query query;
    std::size_t start = 0;
    while (start < raw.size()) {
        const std::size_t amp = std::min(raw.find('&', start), raw.size());
        const std::string pair = raw.substr(start, amp - start);
        start = amp + 1;
        const std::size_t eq = pair.find('=');
        std::string key, value;
        Poco::URI::decode(pair.substr(0, eq), key);
        if (eq != std::string::npos)
            Poco::URI::decode(pair.substr(eq + 1), value);
        query.emplace(key, value);
    }
    return query;
}

const std::string& required(const Query& query, const std::string& key)
{
    const auto it = query.find(key);
    if (it == query.end())
        throw GatewayError(400, "Missing parameter: " + key);
    return it->second;
}

std::string optional(const Query& query, const std::string& key)
{
    const auto it = query.find(key);
    return it == query.end() ? std::string("/") : it->second;
}

void sendText(Poco::Net::HTTPServerResponse& response, int status, const std::string& text,
    const std::string& contentType = "text/plain; charset=utf-8")
{
    response.setStatusAndReason(static_cast<Poco::Net::HTTPResponse::HTTPStatus>(status));
    response.setContentType(contentType);
    response.setContentLength(static_cast<std::streamsize>(text.size()));
    response.send() << text;
}

void authorise(const Poco::Net::HTTPServerRequest& request, const GatewayConfig& config)
{
    if (!request.hasCredentials())
        throw GatewayError(401, "Authentication required");
    std::string scheme, info;
    request.getCredentials(scheme, info);
    if (Poco::icompare(scheme, "Basic") != 0)
        throw GatewayError(401, "Authentication required");
    const Poco::Net::HTTPBasicCredentials credentials(info);
    if (credentials.getUsername() != config.login || credentials.getPassword() != config.password)
        throw GatewayError(401, "Invalid login or password");
}

struct Stat {
    bool exists = false;
    bool directory = false;
    bool symlink = false;
};

Stat lstatOf(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    return {true, S_ISDIR(info.st_mode), S_ISLNK(info.st_mode)};
}

void cwd(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string target = StorePaths::join(optional(query, "dir"), required(query, "to"));
    paths.directory(target);
    sendText(response, 200, target);
}

void list(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string real = paths.directory(optional(query, "dir"));
    sendText(response, 200, dosListing(real, paths), "text/plain; charset=windows-1252");
}

void download(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string& name = required(query, "name");
    StorePaths::checkName(name);
    const std::string real = paths.existing(paths.directory(optional(query, "dir")) + "/" + name);
    struct stat info {};
    if (::stat(real.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        throw GatewayError(404, "Not a file: " + name);
    std::ifstream file(real, std::ios::binary);
    if (!file)
        throw GatewayError(403, "Cannot read " + name);
    response.setStatus(Poco::Net::HTTPResponse::HTTP_OK);
    response.setContentType("application/octet-stream");
    response.setContentLength64(static_cast<Poco::UInt64>(info.st_size));
    std::ostream& out = response.send();
    Poco::StreamCopier::copyStream64(file, out, 256 * 1024);
}

void upload(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerRequest& request,
    Poco::Net::HTTPServerResponse& response)
{
    const std::string& name = required(query, "name");
    StorePaths::checkName(name);
    const std::string realDir = paths.directory(optional(query, "dir"));
    const Stat target = lstatOf(realDir + "/" + name);
    if (target.directory)
        throw GatewayError(409, "A directory has that name: " + name);

    GatewayUpload part(realDir, name);
    Poco::CountingInputStream body(request.stream());
    Poco::Net::HTMLForm form(request, body, part);
    // A request cut short ends the part without its closing boundary: refuse it rather than keep
    // a truncated file. What follows the closing boundary is read first so that the count is whole.
    Poco::NullOutputStream rest;
    Poco::StreamCopier::copyStream64(body, rest);
    if (request.hasContentLength() && body.chars() != static_cast<std::streamsize>(request.getContentLength64()))
        throw GatewayError(400, "Incomplete upload");
    if (!part.received())
        throw GatewayError(400, "Missing multipart part 'file'");
    part.commit();
    sendText(response, 201, "Stored " + name);
}

void remove(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string& name = required(query, "name");
    const std::string& kind = required(query, "kind");
    StorePaths::checkName(name);
    if (kind != "file" && kind != "dir")
        throw GatewayError(400, "kind must be file or dir");
    // The entry itself is removed, never what a symlink points to, so only its directory is resolved.
    const std::string path = paths.directory(optional(query, "dir")) + "/" + name;
    const Stat entry = lstatOf(path);
    if (!entry.exists)
        throw GatewayError(404, "Not found: " + name);
    if (kind == "file") {
        if (entry.directory)
            throw GatewayError(409, "Is a directory: " + name);
        if (::unlink(path.c_str()) != 0)
            throw GatewayError(500, "Cannot delete " + name + ": " + std::strerror(errno));
    } else {
        if (!entry.directory)
            throw GatewayError(409, "Not a directory: " + name);
        if (::rmdir(path.c_str()) != 0) {
            if (errno == ENOTEMPTY || errno == EEXIST)
                throw GatewayError(409, "Directory not empty: " + name);
            throw GatewayError(500, "Cannot delete " + name + ": " + std::strerror(errno));
        }
    }
    sendText(response, 200, "Deleted " + name);
}

void makeDirectory(const Query& query, const StorePaths& paths, Poco::Net::HTTPServerResponse& response)
{
    const std::string& name = required(query, "name");
    StorePaths::checkName(name);
    const std::string path = paths.directory(optional(query, "dir")) + "/" + name;
    if (lstatOf(path).exists)
        throw GatewayError(409, "Already exists: " + name);
    if (::mkdir(path.c_str(), 0755) != 0)
        throw GatewayError(errno == EEXIST ? 409 : 500, "Cannot create " + name + ": " + std::strerror(errno));
    sendText(response, 201, "Created " + name);
}

// Reads what is left of a refused request so that the client sees the reply and the connection
// stays usable.
void drain(Poco::Net::HTTPServerRequest& request)
{
    try {
        Poco::NullOutputStream sink;
        Poco::StreamCopier::copyStream64(request.stream(), sink);
    } catch (const std::exception&) {
    }
}

} // namespace

void GatewayHandler::handleRequest(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response)
{
    try {
        authorise(request, config_);
        const Poco::URI uri(request.getURI());
        std::vector<std::string> segments;
        uri.getPathSegments(segments);
        const std::string endpoint = segments.empty() ? std::string() : segments.back();
        const Query query = parseQuery(uri.getRawQuery());
        const bool get = request.getMethod() == Poco::Net::HTTPRequest::HTTP_GET;
        const bool post = request.getMethod() == Poco::Net::HTTPRequest::HTTP_POST;

        if (get && endpoint == "cwd")
            cwd(query, paths_, response);
        else if (get && endpoint == "list")
            list(query, paths_, response);
        else if (get && endpoint == "file")
            download(query, paths_, response);
        else if (post && endpoint == "file")
            upload(query, paths_, request, response);
        else if (post && endpoint == "delete")
            remove(query, paths_, response);
        else if (post && endpoint == "mkdir")
            makeDirectory(query, paths_, response);
        else
            throw GatewayError(404, "No such endpoint: " + request.getMethod() + " " + uri.getPath());
    } catch (const GatewayError& e) {
        drain(request);
        if (e.status == 401)
            response.set("WWW-Authenticate", "Basic realm=\"vop-gateway\"");
        if (!response.sent())
            sendText(response, e.status, e.what());
    } catch (const Poco::Exception& e) {
        drain(request);
        if (!response.sent())
            sendText(response, 500, e.displayText());
    } catch (const std::exception& e) {
        drain(request);
        if (!response.sent())
            sendText(response, 500, e.what());
    }
}

Poco::Net::HTTPRequestHandler* GatewayHandlerFactory::createRequestHandler(const Poco::Net::HTTPServerRequest&)
{
    // HTTPServer takes ownership of the handler and deletes it after the request.
    return std::make_unique<GatewayHandler>(config_, paths_).release();
}

} // namespace AppServer
