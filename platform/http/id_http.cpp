#include "platform/http/id_http.h"

#include "platform/common/net_error_text.h"

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

#include <algorithm>
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
    if (text.empty())
        text = "o servidor HTTP respondeu " + std::to_string(status) + (response.getReason().empty() ? "" : " " + response.getReason());
    throw HttpError(status, text);
}

// "host:port" of a URL, for messages.
std::string serverOf(const std::string& url)
{
    try {
        const Poco::URI uri(url);
        return shownValue(uri.getHost()) + ":" + std::to_string(uri.getPort());
    } catch (const Poco::Exception&) {
        return shownValue(url);
    }
}

std::string countMismatch(std::int64_t received, std::int64_t expected)
{
    return "recebidos " + std::to_string(received) + " de " + std::to_string(expected) + " bytes";
}

// A Poco session that tells the client of every connection it opens, so that the breaker can shut
// it down from another thread, and that shows how much of the server's data it holds unread.
template <class Base>
class WatchedSession final : public Base {
public:
    template <class... Args>
    explicit WatchedSession(ConnectionBreaker& breaker, Args&&... args) : Base(std::forward<Args>(args)...), breaker_(breaker)
    {
    }
    std::int64_t unread() { return this->buffered() + std::max(0, this->socket().available()); }

protected:
    void connect(const Poco::Net::SocketAddress& address) override
    {
        breaker_.Release();
        Base::connect(address);
        breaker_.Attach(this->socket().impl()->sockfd());
    }

private:
    ConnectionBreaker& breaker_;
};

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
                       Poco::Net::HTTPResponse& response, const ConnectionBreaker& breaker)
{
    try {
        http.sendRequest(request);
        return http.receiveResponse(response);
    } catch (const Poco::Net::NoMessageException&) {
        if (breaker.Fired())
            throw;
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

void TIdHTTP::SetDefaultTrustedCertificateFile(const std::string& path) { defaultTrustedCertificate() = path; }

std::string TIdHTTP::DefaultUserAgent() { return VOP_USER_AGENT; }

TIdHTTP::TIdHTTP() : TrustedCertificateFile(defaultTrustedCertificate()) {}

TIdHTTP::~TIdHTTP() { dropSession(); }

void TIdHTTP::Cancel() { breaker_.Fire(); }

void TIdHTTP::dropSession()
{
    session_.reset();
    breaker_.Release();
}

void TIdHTTP::fail(const std::string& url, const Poco::Exception& error, bool requestSent)
{
    dropSession();
    if (breaker_.Fired())
        throw HttpCancelled(requestSent);
    throw std::runtime_error("erro de comunicação com o servidor HTTP " + serverOf(url) + ": " + describeNetworkError(error));
}

std::int64_t TIdHTTP::surplus()
{
    try {
        if (auto* plain = dynamic_cast<WatchedSession<Poco::Net::HTTPClientSession>*>(session_.get()))
            return plain->unread();
        if (auto* secure = dynamic_cast<WatchedSession<Poco::Net::HTTPSClientSession>*>(session_.get()))
            return secure->unread();
    } catch (const Poco::Exception&) {
    }
    return 0;
}

Poco::Net::HTTPClientSession& TIdHTTP::session(const std::string& url, std::string& target)
{
    Poco::URI uri;
    try {
        uri = Poco::URI(url);
    } catch (const Poco::Exception&) {
        throw std::runtime_error("endereço inválido: " + shownValue(url));
    }
    const bool secure = uri.getScheme() == "https";
    if (!secure && uri.getScheme() != "http")
        throw std::runtime_error("endereço não suportado (somente http e https): " + shownValue(url));
    if (uri.getHost().empty())
        throw std::runtime_error("endereço sem o nome do servidor: " + url);
    const std::string pathEtc = uri.getPathEtc();
    target = pathEtc.empty() ? std::string(1, '/') : pathEtc;
    const std::string key = uri.getScheme() + "://" + uri.getHost() + ":" + std::to_string(uri.getPort()) + "|" + TrustedCertificateFile;
    if (!session_ || key != sessionKey_) {
        dropSession();
        if (secure) {
            static std::once_flag sslReady;
            std::call_once(sslReady, [] { Poco::Net::initializeSSL(); });
            // Verification stays on: a trusted file replaces the system's authorities, it does not
            // switch checking off.
            Poco::Net::Context::Ptr context;
            try {
                context = Poco::makeAuto<Poco::Net::Context>(Poco::Net::Context::TLS_CLIENT_USE, TrustedCertificateFile,
                    Poco::Net::Context::VERIFY_RELAXED, 9, TrustedCertificateFile.empty());
            } catch (const Poco::Exception&) {
                throw std::runtime_error("não foi possível preparar a conexão segura com o certificado " + shownValue(TrustedCertificateFile));
            }
            session_ = std::make_unique<WatchedSession<Poco::Net::HTTPSClientSession>>(breaker_, uri.getHost(), uri.getPort(), context);
        } else
            session_ = std::make_unique<WatchedSession<Poco::Net::HTTPClientSession>>(breaker_, uri.getHost(), uri.getPort());
        session_->setKeepAlive(true);
        sessionKey_ = key;
    }
    session_->setTimeout(span(ConnectTimeout), span(ReadTimeout), span(ReadTimeout));
    return *session_;
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
    WorkScope scope{OnWorkEnd, TWorkMode::wmRead};
    std::vector<char> block(blockSize);
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

void TIdHTTP::PostFile(const std::string& url, const std::string& fieldName, const std::string& localPath)
{
    Request running(*this);
    std::ifstream file(localPath, std::ios::binary);
    std::error_code sizeError;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(localPath, sizeError));
    if (!file || sizeError)
        throw std::runtime_error("não foi possível abrir o arquivo " + shownValue(localPath));
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
    bool sentWhole = false;
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
                    throw std::runtime_error("não foi possível ler o arquivo " + localPath);
                out.write(block.data(), got);
                if (!out)
                    break;
                sent += got;
                if (OnWork)
                    OnWork(TWorkMode::wmWrite, sent);
                if (breaker_.Fired())
                    throw HttpCancelled(false);
            }
            if (out) {
                out << tail;
                out.flush();
            }
            if (!out) {
                if (breaker_.Fired())
                    throw HttpCancelled(false);
                throw std::runtime_error("a conexão com o servidor HTTP " + serverOf(url) + " foi perdida durante o envio");
            }
            sentWhole = true;
        }
        std::istream& body = http.receiveResponse(response);
        throwForStatus(response, body);
        Poco::NullOutputStream sink;
        Poco::StreamCopier::copyStream(body, sink);
    } catch (const HttpError&) {
        throw;
    } catch (const Poco::Exception& e) {
        fail(url, e, sentWhole);
    } catch (...) {
        // The request body was left incomplete: the connection cannot carry another request.
        dropSession();
        throw;
    }
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
