#pragma once

#include "platform/http/id_http.h"

#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>

#include <cstddef>
#include <istream>
#include <string>

// What the requests of TIdHTTP share: the state of a running request, the work events' end, the
// reading of a refusal, and sending a request on the kept-alive connection.
namespace Platform {

// What every request holds while it runs: the breaker armed afresh, the poller that hears
// StopRequested, and SIGPIPE kept off the calling thread.
struct TIdHTTP::Request {
    explicit Request(TIdHTTP& client) : poller(client.StopRequested, rearmed(client.breaker_)) {}
    static ConnectionBreaker& rearmed(ConnectionBreaker& breaker)
    {
        breaker.Rearm();
        return breaker;
    }
    SigPipeBlock sigPipe;
    StopPoller poller;
};

namespace HttpDetail {

constexpr std::size_t blockSize = 256 * 1024;

// Raises OnWorkEnd however the transfer leaves.
struct WorkScope {
    const std::function<void(TWorkMode)>& end;
    TWorkMode mode;
    ~WorkScope()
    {
        if (end)
            end(mode);
    }
};

// Throws HttpError with the server's text (or the status) for a reply outside 2xx.
void throwForStatus(const Poco::Net::HTTPResponse& response, std::istream& body);

// "host:port" of a URL, for messages.
std::string serverOf(const std::string& url);

// A request without a body and its response. A kept-alive connection that the server closed while
// idle answers nothing: the request is sent once more on a fresh one.
std::istream& exchange(Poco::Net::HTTPClientSession& http, Poco::Net::HTTPRequest& request,
                       Poco::Net::HTTPResponse& response, const ConnectionBreaker& breaker);

} // namespace HttpDetail
} // namespace Platform
