#include "platform/http/http_client_impl.h"

#include "platform/common/net_error_text.h"

#include <Poco/Net/Context.h>
#include <Poco/Net/HTTPSClientSession.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/SSLManager.h>
#include <Poco/URI.h>

#include <algorithm>
#include <mutex>

// The client's connection: one kept-alive session per server (HTTPS with the trusted certificate),
// watched by the breaker that Cancel fires, and what a failure of it says.
namespace Platform {
namespace {

Poco::Timespan span(std::chrono::milliseconds value)
{
    return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(value.count()) * 1000);
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

std::string& defaultTrustedCertificate()
{
    static std::string path;
    return path;
}

} // namespace

void TIdHTTP::SetDefaultTrustedCertificateFile(const std::string& path) { defaultTrustedCertificate() = path; }

TIdHTTP::TIdHTTP() : TrustedCertificateFile(defaultTrustedCertificate()) {}

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
    throw std::runtime_error("erro de comunicação com o servidor HTTP " + HttpDetail::serverOf(url) + ": " + describeNetworkError(error));
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

std::string HttpDetail::serverOf(const std::string& url)
{
    try {
        const Poco::URI uri(url);
        return shownValue(uri.getHost()) + ":" + std::to_string(uri.getPort());
    } catch (const Poco::Exception&) {
        return shownValue(url);
    }
}


std::istream& HttpDetail::exchange(Poco::Net::HTTPClientSession& http, Poco::Net::HTTPRequest& request,
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

} // namespace Platform
