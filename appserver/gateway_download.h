#pragma once

#include <string>

namespace Poco::Net {
class HTTPServerRequest;
class HTTPServerResponse;
} // namespace Poco::Net

namespace AppServer {

// Sends one file of the store: 200 with Content-Length and Last-Modified, or, for
// "Range: bytes=N-" (the only form a resuming client sends), 206 with the rest and its
// Content-Range, 416 when N is past the end. An If-Range that is not the file's Last-Modified, or
// any other range form, gets the whole file: a client never joins two versions.
void sendStoreFile(const std::string& real, const Poco::Net::HTTPServerRequest& request,
                   Poco::Net::HTTPServerResponse& response);

} // namespace AppServer
