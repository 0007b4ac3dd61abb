#include "platform/http/id_http.h"

#include <Poco/Net/Context.h>
#include <Poco/Net/HTTPBasicCredentials.h>
#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/Net/HTTPSClientSession.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SSLManager.h>
#include <Poco/NullStream.h>
#include <Poco/Random.h>
#include <Poco/StreamCopier.h>
#include <Poco/URI.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

namespace Platform {
namespace {

constexpr std::size_t blockSize = 256 * 1024;

Poco::Timespan span(std::chrono::milliseconds value)
{
    return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(value.count()) * 1000);
}

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

void throwForStatus(const Poco::Net::HTTPResponse& response, std::istream& body)
{
    const int status = response.getStatus();
    if (status >= 200 && status < 300)
        return;
    std::string text;
    try {
        Poco::StreamCopier::copyToString(body, text);
    } catch (const Poco::Exception&) {
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    throw HttpError(status, text.empty() ? std::to_string(status) + " " + response.getReason() : text);
}

std::runtime_error failure(const std::string& url, const Poco::Exception& e)
{
    return std::runtime_error(url + ": " + e.displayText());
}

std::string boundary()
{
    Poco::Random random;
    random.seed();
    std::ostringstream text;
    text << "----VopFormBoundary" << std::hex << random.next() << random.next();
    return text.str();
}

// The file name as a quoted-string value: quotes escaped, line breaks dropped.
std::string quotedFileName(const std::string& path)
{
    std::string quoted;
    for (char c : std::filesystem::path(path).filename().string()) {
        if (c == '\r' || c == '\n')
            continue;
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted;
}

// A request without a body and its response. A kept-alive connection that the server closed while
// idle answers nothing: the request is sent once more on a fresh one.
std::istream& exchange(Poco::Net::HTTPClientSession& http, Poco::Net::HTTPRequest& request,
                       Poco::Net::HTTPResponse& response)
{
    try {
        http.sendRequest(request);
        return http.receiveResponse(response);
    } catch (const Poco::Net::NoMessageException&) {
        http.reset();
        http.sendRequest(request);
        return http.receiveResponse(response);
    }
}

std::string& defaultTrustedCertificate()
{
    static std::string path;
    return path;
}
} // namespace

void TIdHTTP::SetDefaultTrustedCertificateFile(const std::string& path) { defaultTrustedCertificate() = path; }

TIdHTTP::TIdHTTP() : TrustedCertificateFile(defaultTrustedCertificate()) {}
TIdHTTP::~TIdHTTP() = default;

Poco::Net::HTTPClientSession& TIdHTTP::session(const std::string& url, std::string& target)
{
    const Poco::URI uri(url);
    const bool secure = uri.getScheme() == "https";
    if (!secure && uri.getScheme() != "http")
        throw std::runtime_error("Unsupported URL: " + url);
    if (uri.getHost().empty())
        throw std::runtime_error("URL without a host: " + url);
    const std::string pathEtc = uri.getPathEtc();
    target = pathEtc.empty() ? std::string(1, '/') : pathEtc;
    const std::string key = uri.getScheme() + "://" + uri.getHost() + ":" + std::to_string(uri.getPort()) + "|" + TrustedCertificateFile;
    if (!session_ || key != sessionKey_) {
        session_.reset();
        if (secure) {
            static std::once_flag sslReady;
            std::call_once(sslReady, [] { Poco::Net::initializeSSL(); });
            // Verification stays on: a trusted file replaces the system's authorities, it does not
            // switch checking off.
            auto context = Poco::makeAuto<Poco::Net::Context>(Poco::Net::Context::TLS_CLIENT_USE, TrustedCertificateFile,
                Poco::Net::Context::VERIFY_RELAXED, 9, TrustedCertificateFile.empty());
            session_ = std::make_unique<Poco::Net::HTTPSClientSession>(uri.getHost(), uri.getPort(), context);
        } else
            session_ = std::make_unique<Poco::Net::HTTPClientSession>(uri.getHost(), uri.getPort());
        session_->setKeepAlive(true);
        sessionKey_ = key;
    }
    session_->setTimeout(span(ConnectTimeout), span(ReadTimeout), span(ReadTimeout));
    return *session_;
}

void TIdHTTP::Get(const std::string& url, std::ostream& out)
{
    cancelled_ = false;
    std::string target;
    auto& http = session(url, target);
    Poco::Net::HTTPRequest request(Poco::Net::HTTPRequest::HTTP_GET, target, Poco::Net::HTTPMessage::HTTP_1_1);
    request.set("Accept", Accept);
    request.set("User-Agent", UserAgent);
    if (!Username.empty())
        Poco::Net::HTTPBasicCredentials(Username, Password).authenticate(request);
    Poco::Net::HTTPResponse response;
    std::istream* body = nullptr;
    try {
        body = &exchange(http, request, response);
        throwForStatus(response, *body);
    } catch (const Poco::Exception& e) {
        session_.reset();
        throw failure(url, e);
    }

    const std::int64_t expected = response.hasContentLength() ? response.getContentLength64() : 0;
    if (OnWorkBegin)
        OnWorkBegin(TWorkMode::wmRead, expected);
    WorkScope scope{OnWorkEnd, TWorkMode::wmRead};
    std::vector<char> block(blockSize);
    std::int64_t total = 0;
    try {
        while (*body) {
            body->read(block.data(), static_cast<std::streamsize>(block.size()));
            const auto got = body->gcount();
            if (got <= 0)
                break;
            out.write(block.data(), got);
            if (!out)
                throw std::runtime_error("Cannot write the downloaded data");
            total += got;
            if (OnWork)
                OnWork(TWorkMode::wmRead, total);
            if (cancelled_) {
                session_.reset();
                throw std::runtime_error("Transfer cancelled");
            }
        }
    } catch (const Poco::Exception& e) {
        session_.reset();
        throw failure(url, e);
    }
    if (response.hasContentLength() && total != expected) {
        session_.reset();
        throw std::runtime_error(url + ": connection closed after " + std::to_string(total) + " of " + std::to_string(expected) + " bytes");
    }
}

std::string TIdHTTP::Get(const std::string& url)
{
    std::ostringstream out;
    Get(url, out);
    return out.str();
}

void TIdHTTP::PostFile(const std::string& url, const std::string& fieldName, const std::string& localPath)
{
    cancelled_ = false;
    std::ifstream file(localPath, std::ios::binary);
    if (!file)
        throw std::runtime_error("Cannot open " + localPath);
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(localPath));
    const std::string mark = boundary();
    const std::string head = "--" + mark + "\r\nContent-Disposition: form-data; name=\"" + fieldName + "\"; filename=\"" +
        quotedFileName(localPath) + "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    const std::string tail = "\r\n--" + mark + "--\r\n";

    std::string target;
    auto& http = session(url, target);
    Poco::Net::HTTPRequest request(Poco::Net::HTTPRequest::HTTP_POST, target, Poco::Net::HTTPMessage::HTTP_1_1);
    request.set("Accept", Accept);
    request.set("User-Agent", UserAgent);
    request.setContentType("multipart/form-data; boundary=" + mark);
    request.setContentLength64(static_cast<Poco::UInt64>(head.size() + tail.size()) + static_cast<Poco::UInt64>(size));
    if (!Username.empty())
        Poco::Net::HTTPBasicCredentials(Username, Password).authenticate(request);

    Poco::Net::HTTPResponse response;
    try {
        {
            if (OnWorkBegin)
                OnWorkBegin(TWorkMode::wmWrite, size);
            WorkScope scope{OnWorkEnd, TWorkMode::wmWrite};
            std::ostream& out = http.sendRequest(request);
            out << head;
            std::vector<char> block(blockSize);
            std::int64_t sent = 0;
            while (sent < size) {
                file.read(block.data(), static_cast<std::streamsize>(std::min<std::int64_t>(blockSize, size - sent)));
                const auto got = file.gcount();
                if (got <= 0)
                    throw std::runtime_error("Cannot read " + localPath);
                out.write(block.data(), got);
                if (!out)
                    throw std::runtime_error(url + ": the connection was lost while sending");
                sent += got;
                if (OnWork)
                    OnWork(TWorkMode::wmWrite, sent);
                if (cancelled_)
                    throw std::runtime_error("Transfer cancelled");
            }
            out << tail;
            out.flush();
        }
        std::istream& body = http.receiveResponse(response);
        throwForStatus(response, body);
        Poco::NullOutputStream sink;
        Poco::StreamCopier::copyStream(body, sink);
    } catch (const HttpError&) {
        throw;
    } catch (const Poco::Exception& e) {
        session_.reset();
        throw failure(url, e);
    } catch (...) {
        // The request body was left incomplete: the connection cannot carry another request.
        session_.reset();
        throw;
    }
}

void TIdHTTP::Post(const std::string& url)
{
    cancelled_ = false;
    std::string target;
    auto& http = session(url, target);
    Poco::Net::HTTPRequest request(Poco::Net::HTTPRequest::HTTP_POST, target, Poco::Net::HTTPMessage::HTTP_1_1);
    request.set("Accept", Accept);
    request.set("User-Agent", UserAgent);
    request.setContentLength(0);
    if (!Username.empty())
        Poco::Net::HTTPBasicCredentials(Username, Password).authenticate(request);
    Poco::Net::HTTPResponse response;
    try {
        std::istream* body = &exchange(http, request, response);
        throwForStatus(response, *body);
        Poco::NullOutputStream sink;
        Poco::StreamCopier::copyStream(*body, sink);
    } catch (const Poco::Exception& e) {
        session_.reset();
        throw failure(url, e);
    }
}

} // namespace Platform
