#include "platform/http/http_client_impl.h"

#include <Poco/Net/HTTPBasicCredentials.h>
#include <Poco/NullStream.h>
#include <Poco/StreamCopier.h>

#include <sstream>
#include <vector>

// The client's requests without a body to send: GET into a stream, with the work events and the
// check of Content-Length, and POST with an empty body.
namespace Platform {
namespace {

std::string countMismatch(std::int64_t received, std::int64_t expected)
{
    return "recebidos " + std::to_string(received) + " de " + std::to_string(expected) + " bytes";
}

} // namespace

using HttpDetail::exchange;
using HttpDetail::throwForStatus;

std::string TIdHTTP::DefaultUserAgent() { return VOP_USER_AGENT; }

TIdHTTP::~TIdHTTP() { dropSession(); }

void TIdHTTP::Cancel() { breaker_.Fire(); }

void HttpDetail::throwForStatus(const Poco::Net::HTTPResponse& response, std::istream& body)
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
    if (text.empty())
        text = "o servidor HTTP respondeu " + std::to_string(status) + (response.getReason().empty() ? "" : " " + response.getReason());
    throw HttpError(status, text);
}

void TIdHTTP::Get(const std::string& url, std::ostream& out)
{
    runServed(OnWaiting, [&] { getNow(url, out, 0, {}); }, [this] { Cancel(); });
}

void TIdHTTP::GetFrom(const std::string& url, std::ostream& out, std::int64_t from, const std::string& ifRange)
{
    runServed(OnWaiting, [&] { getNow(url, out, from, ifRange); }, [this] { Cancel(); });
}

void TIdHTTP::getNow(const std::string& url, std::ostream& out, std::int64_t from, const std::string& ifRange)
{
    Request running(*this);
    std::string target;
    auto& http = session(url, target);
    Poco::Net::HTTPRequest request(Poco::Net::HTTPRequest::HTTP_GET, target, Poco::Net::HTTPMessage::HTTP_1_1);
    request.set("Accept", Accept);
    request.set("User-Agent", UserAgent);
    if (!Username.empty())
        Poco::Net::HTTPBasicCredentials(Username, Password).authenticate(request);
    if (from > 0) {
        request.set("Range", "bytes=" + std::to_string(from) + "-");
        if (!ifRange.empty())
            request.set("If-Range", ifRange);
    }
    Poco::Net::HTTPResponse response;
    std::istream* body = nullptr;
    lastModified_.clear();
    try {
        body = &exchange(http, request, response, breaker_);
        throwForStatus(response, *body);
    } catch (const Poco::Exception& e) {
        fail(url, e);
    }
    lastModified_ = response.get("Last-Modified", "");
    if (from > 0 && (response.getStatus() != 206
                     || response.get("Content-Range", "").rfind("bytes " + std::to_string(from) + "-", 0) != 0)) {
        dropSession();
        throw HttpRangeIgnored("o servidor HTTP não continuou o download de onde parou");
    }

    const bool sized = response.hasContentLength();
    const std::int64_t expected = sized ? response.getContentLength64() : 0;
    if (OnWorkBegin)
        OnWorkBegin(TWorkMode::wmRead, sized ? from + expected : 0);
    HttpDetail::WorkScope scope{OnWorkEnd, TWorkMode::wmRead};
    std::vector<char> block(HttpDetail::blockSize);
    std::int64_t total = 0;
    try {
        // Straight from the stream buffer, so that a failure of the socket arrives as the exception
        // it is rather than as a short read.
        auto& source = *body->rdbuf();
        for (;;) {
            const auto got = source.sgetn(block.data(), static_cast<std::streamsize>(block.size()));
            if (got <= 0)
                break;
            out.write(block.data(), got);
            if (!out)
                throw std::runtime_error("não foi possível gravar os dados recebidos");
            total += got;
            if (OnWork)
                OnWork(TWorkMode::wmRead, from + total);
            if (breaker_.Fired())
                throw HttpCancelled(false);
        }
    } catch (const Poco::Exception& e) {
        fail(url, e);
    } catch (...) {
        dropSession();
        throw;
    }
    if (breaker_.Fired()) {
        dropSession();
        throw HttpCancelled(false);
    }
    // The fixed-length stream stops at Content-Length; whatever the server sent beyond it is
    // counted, never written.
    if (sized)
        total += surplus();
    if (sized && total != expected) {
        dropSession();
        throw std::runtime_error(countMismatch(total, expected));
    }
}

std::string TIdHTTP::Get(const std::string& url)
{
    std::ostringstream out;
    Get(url, out);
    return out.str();
}

void TIdHTTP::Post(const std::string& url)
{
    runServed(OnWaiting, [&] { postNow(url); }, [this] { Cancel(); });
}

void TIdHTTP::postNow(const std::string& url)
{
    Request running(*this);
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
        std::istream* body = &exchange(http, request, response, breaker_);
        throwForStatus(response, *body);
        Poco::NullOutputStream sink;
        Poco::StreamCopier::copyStream(*body, sink);
    } catch (const Poco::Exception& e) {
        fail(url, e, true);
    }
}

} // namespace Platform
