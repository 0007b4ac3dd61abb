#pragma once

#include <cstdint>
#include <string>

namespace Poco::Net {
class HTTPServerRequest;
class HTTPServerResponse;
} // namespace Poco::Net

namespace AppServer {

// What a request head says of its body, judged before any of it is read.
enum class BodyVerdict {
    none,           // no body: a GET without a length, or a length of 0
    fits,           // a length within the limit, or chunked (to be read with the limit in force)
    lengthRequired, // 411: a POST with neither a length nor chunked encoding (it would end only at close)
    tooLarge,       // 413: the announced length passes the limit
    badLength,      // 400: a negative length
};

BodyVerdict judgeBody(const Poco::Net::HTTPServerRequest& request, std::uint64_t limit);
// The status and the Portuguese text of a refusing verdict.
int verdictStatus(BodyVerdict verdict);
std::string verdictText(BodyVerdict verdict, std::uint64_t limit);

// GET and POST; both servers refuse every other method with 405.
bool knownMethod(const Poco::Net::HTTPServerRequest& request);

// Sends one reply. With closeAfter (a body is left unread, so the connection cannot carry another
// request) the reply says "Connection: close"; what the client still sends is read and dropped for
// a short moment only, so that a client busy sending its body gets to read the reply instead of a
// reset, and the connection ends then.
void sendReply(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response, int status,
    const std::string& contentType, const std::string& text, bool closeAfter);

} // namespace AppServer
