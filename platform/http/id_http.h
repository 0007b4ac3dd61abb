#pragma once

#include "platform/common/work_mode.h"
#include "platform/common/platform_export.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>

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

// HTTP/HTTPS client for the gateway. Bodies travel in 256 KiB blocks with one OnWork per block;
// OnWorkEnd also comes when the transfer fails. The connection is kept alive between requests to
// the same server. Used from one thread; Cancel() may come from any thread.
class PLATFORM_API TIdHTTP {
public:
    TIdHTTP();
    ~TIdHTTP();
    TIdHTTP(const TIdHTTP&) = delete;
    TIdHTTP& operator=(const TIdHTTP&) = delete;

    std::string Accept = "text/html, */*";
    std::string UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
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

    // Writes the body of a 2xx reply into out; any other status throws HttpError with the server's text.
    void Get(const std::string& url, std::ostream& out);
    std::string Get(const std::string& url);
    // multipart/form-data with one part, fieldName, carrying the file.
    void PostFile(const std::string& url, const std::string& fieldName, const std::string& localPath);
    // An empty POST (delete, mkdir).
    void Post(const std::string& url);
    // Stops a running transfer at its next block; the call then throws std::runtime_error.
    void Cancel() { cancelled_ = true; }

private:
    Poco::Net::HTTPClientSession& session(const std::string& url, std::string& target);

    std::unique_ptr<Poco::Net::HTTPClientSession> session_;
    std::string sessionKey_;
    std::atomic<bool> cancelled_{false};
};

} // namespace Platform
