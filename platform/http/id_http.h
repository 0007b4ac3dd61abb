#pragma once

#include "platform/common/platform_export.h"
#include "platform/common/wait_hook.h"
#include "platform/common/work_mode.h"
#include "platform/http/http_abort.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>

namespace Poco {
class Exception;
}
namespace Poco::Net {
class HTTPClientSession;
}

namespace Platform {

// A reply with a status outside 2xx; what() is the server's text (or the reason phrase).
class PLATFORM_API HttpError : public std::runtime_error {
public:
    HttpError(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
    int StatusCode() const { return status_; }

private:
    int status_;
};

// A request abandoned by Cancel() or StopRequested. RequestSent() tells whether the whole request
// (an upload's body included) had left first, so that the server may have acted on it.
// A ranged GET that the server answered with the whole file: begin again from the start.
class PLATFORM_API HttpRangeIgnored : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PLATFORM_API HttpCancelled : public std::runtime_error {
public:
    explicit HttpCancelled(bool requestSent) : std::runtime_error("transferência cancelada"), requestSent_(requestSent) {}
    bool RequestSent() const { return requestSent_; }

private:
    bool requestSent_;
};

// HTTP/HTTPS client for the gateway. Bodies travel in 256 KiB blocks with one OnWork per block;
// OnWorkEnd also comes when the transfer fails. The connection is kept alive between requests to
// the same server. Used from one thread; Cancel() may come from any thread. Every failure throws
// std::runtime_error with a Portuguese text for the user (HttpError, HttpCancelled or the base).
class PLATFORM_API TIdHTTP {
public:
    TIdHTTP();
    ~TIdHTTP();
    TIdHTTP(const TIdHTTP&) = delete;
    TIdHTTP& operator=(const TIdHTTP&) = delete;

    std::string Accept = "text/html, */*";
    std::string UserAgent = DefaultUserAgent(); // "VOP31600/<version>"
    std::string Username, Password; // HTTP Basic when Username is not empty
    std::chrono::milliseconds ConnectTimeout{15000};
    std::chrono::milliseconds ReadTimeout{60000};
    std::string TrustedCertificateFile; // for tests: trust this certificate; verification stays on
    // What new clients start with in TrustedCertificateFile (the host sets it once, at start, for a
    // gateway with a self-signed certificate).
    static void SetDefaultTrustedCertificateFile(const std::string& path);

    std::function<void(TWorkMode, std::int64_t expected)> OnWorkBegin; // expected 0 when unknown
    std::function<void(TWorkMode, std::int64_t count)> OnWork;
    std::function<void(TWorkMode)> OnWorkEnd;
    // Asked every 50 ms, on a thread of the client's own, while a request runs; true abandons the
    // request as Cancel() does, also while a read or send is blocked on a stalled server.
    std::function<bool()> StopRequested;
    // When set, Get and Post run their request on a helper thread while the calling thread serves
    // this hook every kWaitSlice until the reply is in (the work events then come on that helper).
    // When it throws, the request is cancelled and the hook's exception leaves the call.
    WaitHook OnWaiting;

    static std::string DefaultUserAgent();

    // GET url. Writes the body of a 2xx reply into out; any other status throws HttpError with the
    // server's text. A body that differs from its Content-Length throws ("recebidos X de Y bytes"),
    // and nothing beyond Content-Length is written.
    void Get(const std::string& url, std::ostream& out);
    std::string Get(const std::string& url);
    // The rest of a download: GET url with "Range: bytes=from-" and "If-Range: ifRange" (the
    // Last-Modified of the reply that began it). A 206 whose Content-Range starts at from writes the
    // rest into out, its work events counting from `from`. A server that sends the whole body
    // instead (200: no ranges, or the file changed) throws HttpRangeIgnored before a byte is
    // written. Otherwise as Get.
    void GetFrom(const std::string& url, std::ostream& out, std::int64_t from, const std::string& ifRange);
    // The Last-Modified of the last GET's reply ("" when it had none).
    const std::string& LastModified() const { return lastModified_; }
    // POST url, multipart/form-data with one part, fieldName, carrying the file; HttpError on a
    // refusal.
    void PostFile(const std::string& url, const std::string& fieldName, const std::string& localPath);
    // POST url with an empty body (delete, mkdir); HttpError on a refusal.
    void Post(const std::string& url);
    // From any thread: abandons the running request at once (its connection is closed); the call
    // then throws HttpCancelled.
    void Cancel();

private:
    struct Request;
    void getNow(const std::string& url, std::ostream& out, std::int64_t from, const std::string& ifRange);
    void postNow(const std::string& url);
    Poco::Net::HTTPClientSession& session(const std::string& url, std::string& target);
    void dropSession();
    [[noreturn]] void fail(const std::string& url, const Poco::Exception& error, bool requestSent = false);
    // Bytes beyond the reply just read: a body longer than its Content-Length.
    std::int64_t surplus();

    std::unique_ptr<Poco::Net::HTTPClientSession> session_;
    std::string sessionKey_;
    ConnectionBreaker breaker_;
    std::string lastModified_;
};

} // namespace Platform
