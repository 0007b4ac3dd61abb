#include "mrv/net_connection.h"

#include "mrv/data_packet.h"

#include "platform/common/net_error_text.h"
#include "platform/http/http_abort.h"

#include <Poco/Exception.h>
#include <Poco/JSON/Array.h>
#include <Poco/JSON/Object.h>
#include <Poco/JSON/Parser.h>
#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/Net/NetException.h>
#include <Poco/StreamCopier.h>
#include <Poco/URI.h>

#include <sstream>
#include <stdexcept>

namespace Mrv {
namespace {

std::string pathSegment(const std::string& text)
{
    std::string encoded;
    Poco::URI::encode(text, "/?#%&=+ ", encoded);
    return encoded;
}

Poco::Timespan span(std::chrono::milliseconds value)
{
    return Poco::Timespan(static_cast<Poco::Timespan::TimeDiff>(value.count()) * 1000);
}

// The JSON body of a reply, or null when it is not JSON.
Poco::JSON::Object::Ptr jsonObject(const std::string& body)
{
    try {
        Poco::JSON::Parser parser;
        const auto parsed = parser.parse(body);
        if (parsed.type() == typeid(Poco::JSON::Object::Ptr))
            return parsed.extract<Poco::JSON::Object::Ptr>();
    } catch (const Poco::Exception&) {
    }
    return {};
}

std::string errorText(int status, const std::string& body)
{
    const auto object = jsonObject(body);
    if (object && object->has("error"))
        return object->getValue<std::string>("error");
    return "O servidor de aplicação respondeu com o código " + std::to_string(status) + (body.empty() ? "" : ": " + body);
}

// A session whose connection the breaker can shut down from the thread that serves the wait hook.
class BreakableSession final : public Poco::Net::HTTPClientSession {
public:
    BreakableSession(const std::string& host, Poco::UInt16 port, Platform::ConnectionBreaker& breaker)
        : HTTPClientSession(host, port), breaker_(breaker)
    {
    }

protected:
    void connect(const Poco::Net::SocketAddress& address) override
    {
        breaker_.Release();
        HTTPClientSession::connect(address);
        breaker_.Attach(socket().impl()->sockfd());
    }

private:
    Platform::ConnectionBreaker& breaker_;
};

} // namespace

TNetConnection::TNetConnection(QObject* owner)
    : QObject(owner), breaker_(std::make_unique<Platform::ConnectionBreaker>())
{
}

TNetConnection::~TNetConnection() = default;

std::string TNetConnection::where() const
{
    return "'" + Platform::shownValue(ServerName) + "' em " + Platform::shownValue(Host) + ":" + std::to_string(Port);
}

void TNetConnection::SetConnected(bool value)
{
    if (!value) {
        session_.reset();
        breaker_->Release();
        connected_ = false;
        return;
    }
    if (connected_)
        return;
    if (OnBeforeConnect)
        OnBeforeConnect(*this);
    try {
        session_ = std::make_unique<BreakableSession>(Host, static_cast<Poco::UInt16>(Port), *breaker_);
        session_->setKeepAlive(true);
        session_->setTimeout(span(ConnectTimeout), span(ReplyTimeout), span(ReplyTimeout));
        const Reply reply = send(Poco::Net::HTTPRequest::HTTP_GET, "/servers/" + pathSegment(ServerName), {});
        if (reply.status != Poco::Net::HTTPResponse::HTTP_OK)
            throw std::runtime_error(errorText(reply.status, reply.body));
        connected_ = true;
        lastError_.clear();
    } catch (const Platform::WaitCancelled&) {
        session_.reset();
        throw;
    } catch (const std::exception& e) {
        session_.reset();
        const auto* poco = dynamic_cast<const Poco::Exception*>(&e);
        lastError_ = "Não foi possível conectar ao objeto " + where() + " do servidor de aplicação: " +
            (poco ? Platform::describeNetworkError(*poco) : Platform::shownValue(e.what()));
        if (ThrowException)
            throw std::runtime_error(lastError_);
    }
}

Poco::Dynamic::Var TNetConnection::AppServer(const std::string& method, const std::vector<std::string>& args)
{
    if (!connected_)
        throw std::runtime_error(lastError_.empty() ? "A ligação com o objeto " + where() + " do servidor de aplicação não está conectada" : lastError_);
    Poco::JSON::Array argList;
    for (const auto& arg : args)
        argList.add(arg);
    Poco::JSON::Object body;
    body.set("args", argList);
    std::ostringstream text;
    body.stringify(text);

    Reply reply;
    try {
        reply = send(Poco::Net::HTTPRequest::HTTP_POST, "/servers/" + pathSegment(ServerName) + "/" + pathSegment(method), text.str());
    } catch (const Poco::Exception& e) {
        throw std::runtime_error("A chamada " + Platform::shownValue(ServerName) + "." + Platform::shownValue(method) + " ao servidor de aplicação falhou: " +
            Platform::describeNetworkError(e));
    }
    if (reply.status >= 400)
        throw std::runtime_error(errorText(reply.status, reply.body));
    const auto object = jsonObject(reply.body);
    if (!object || !object->has("result"))
        throw std::runtime_error("A resposta do servidor de aplicação a " + Platform::shownValue(ServerName) + "." + Platform::shownValue(method) + " está malformada");
    return variantFromJson(object->get("result"));
}

TNetConnection::Reply TNetConnection::send(const std::string& verb, const std::string& path, const std::string& body)
{
    Reply reply;
    breaker_->Rearm();
    Platform::runServed(OnWaiting, [&] {
        // A send on a connection the breaker shut down must not end the process.
        Platform::SigPipeBlock sigPipe;
        try {
            reply = exchange(verb, path, body);
            return;
        } catch (const Poco::Net::NoMessageException&) {
        } catch (const Poco::Net::ConnectionResetException&) {
        } catch (const Poco::Net::ConnectionAbortedException&) {
        }
        if (breaker_->Fired())
            throw Platform::WaitCancelled();
        // The server closed an idle keep-alive connection (or restarted): one fresh attempt.
        session_->reset();
        reply = exchange(verb, path, body);
    }, [this] { breaker_->Fire(); });
    return reply;
}

TNetConnection::Reply TNetConnection::exchange(const std::string& verb, const std::string& path, const std::string& body)
{
    Poco::Net::HTTPRequest request(verb, path, Poco::Net::HTTPMessage::HTTP_1_1);
    request.setKeepAlive(true);
    if (verb == Poco::Net::HTTPRequest::HTTP_POST) {
        request.setContentType("application/json; charset=utf-8");
        request.setContentLength(static_cast<std::streamsize>(body.size()));
    }
    session_->sendRequest(request) << body;
    Poco::Net::HTTPResponse response;
    std::istream& in = session_->receiveResponse(response);
    Reply reply;
    reply.status = response.getStatus();
    Poco::StreamCopier::copyToString(in, reply.body);
    return reply;
}

} // namespace Mrv
