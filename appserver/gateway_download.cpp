#include "appserver/gateway_download.h"

#include "appserver/gateway_error.h"

#include <Poco/DateTimeFormat.h>
#include <Poco/DateTimeFormatter.h>
#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/StreamCopier.h>
#include <Poco/Timestamp.h>

#include <sys/stat.h>

#include <cctype>
#include <fstream>
#include <optional>

namespace AppServer {

namespace {

// N of "bytes=N-", or nothing for any other form.
std::optional<long long> openRangeStart(const std::string& range)
{
    const std::string prefix = "bytes=";
    if (range.compare(0, prefix.size(), prefix) != 0 || range.size() < prefix.size() + 2 || range.back() != '-')
        return std::nullopt;
    long long start = 0;
    for (std::size_t i = prefix.size(); i + 1 < range.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(range[i])) || start > (1LL << 50))
            return std::nullopt;
        start = start * 10 + (range[i] - '0');
    }
    return start;
}

} // namespace

void sendStoreFile(const std::string& real, const Poco::Net::HTTPServerRequest& request,
                   Poco::Net::HTTPServerResponse& response)
{
    struct stat info {};
    std::ifstream file(real, std::ios::binary);
    if (::stat(real.c_str(), &info) != 0 || !file)
        throw GatewayError(403, "Não foi possível ler o arquivo");
    const long long size = static_cast<long long>(info.st_size);
    const std::string modified = Poco::DateTimeFormatter::format(
        Poco::Timestamp::fromEpochTime(info.st_mtime), Poco::DateTimeFormat::HTTP_FORMAT);
    response.setContentType("application/octet-stream");
    response.set("Last-Modified", modified);
    response.set("Accept-Ranges", "bytes");
    std::optional<long long> start = openRangeStart(request.get("Range", ""));
    if (start && request.has("If-Range") && request.get("If-Range") != modified)
        start.reset();
    if (start && *start >= size && size > 0) {
        response.set("Content-Range", "bytes */" + std::to_string(size));
        response.setStatusAndReason(Poco::Net::HTTPResponse::HTTP_REQUESTED_RANGE_NOT_SATISFIABLE);
        response.setContentLength(0);
        response.send();
        return;
    }
    long long from = 0;
    if (start && *start > 0) {
        from = *start;
        file.seekg(from);
        response.setStatus(Poco::Net::HTTPResponse::HTTP_PARTIAL_CONTENT);
        response.set("Content-Range",
                     "bytes " + std::to_string(from) + "-" + std::to_string(size - 1) + "/" + std::to_string(size));
    } else {
        response.setStatus(Poco::Net::HTTPResponse::HTTP_OK);
    }
    response.setContentLength64(static_cast<Poco::UInt64>(size - from));
    std::ostream& out = response.send();
    Poco::StreamCopier::copyStream64(file, out, 256 * 1024);
}

} // namespace AppServer
