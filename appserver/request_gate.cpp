#include "appserver/request_gate.h"

#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerRequestImpl.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/Net/StreamSocket.h>

#include <chrono>

#include <poll.h>
#include <sys/socket.h>

namespace AppServer {
namespace {

constexpr auto lingerTime = std::chrono::milliseconds(2000);

// The reply is out: the send side is closed so that the client sees the end at once, and what it
// still sends is read raw and dropped (the TLS layer need not decode it) for a moment at most.
void linger(Poco::Net::HTTPServerRequest& request)
{
    auto* impl = dynamic_cast<Poco::Net::HTTPServerRequestImpl*>(&request);
    if (!impl)
        return;
    const int fd = impl->socket().impl()->sockfd();
    if (fd < 0)
        return;
    ::shutdown(fd, SHUT_WR);
    const auto end = std::chrono::steady_clock::now() + lingerTime;
    char sink[16384];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            return;
        if (::recv(fd, sink, sizeof sink, MSG_DONTWAIT) <= 0)
            return;
    }
}

} // namespace

BodyVerdict judgeBody(const Poco::Net::HTTPServerRequest& request, std::uint64_t limit)
{
    if (request.getChunkedTransferEncoding())
        return BodyVerdict::fits;
    if (!request.hasContentLength())
        return request.getMethod() == Poco::Net::HTTPRequest::HTTP_POST ? BodyVerdict::lengthRequired : BodyVerdict::none;
    const Poco::Int64 length = request.getContentLength64();
    if (length < 0)
        return BodyVerdict::badLength;
    if (length == 0)
        return BodyVerdict::none;
    return static_cast<std::uint64_t>(length) > limit ? BodyVerdict::tooLarge : BodyVerdict::fits;
}

int verdictStatus(BodyVerdict verdict)
{
    return verdict == BodyVerdict::lengthRequired ? 411 : verdict == BodyVerdict::tooLarge ? 413 : 400;
}

std::string verdictText(BodyVerdict verdict, std::uint64_t limit)
{
    switch (verdict) {
    case BodyVerdict::lengthRequired:
        return "Requisição sem Content-Length";
    case BodyVerdict::tooLarge:
        return "Conteúdo maior que o limite de " + std::to_string(limit) + " bytes";
    default:
        return "Content-Length inválido";
    }
}

bool knownMethod(const Poco::Net::HTTPServerRequest& request)
{
    const std::string& method = request.getMethod();
    return method == Poco::Net::HTTPRequest::HTTP_GET || method == Poco::Net::HTTPRequest::HTTP_POST;
}

void sendReply(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response, int status,
    const std::string& contentType, const std::string& text, bool closeAfter)
{
    response.setStatusAndReason(static_cast<Poco::Net::HTTPResponse::HTTPStatus>(status));
    response.setContentType(contentType);
    response.setContentLength(static_cast<std::streamsize>(text.size()));
    if (closeAfter)
        response.setKeepAlive(false);
    std::ostream& out = response.send();
    out << text;
    out.flush();
    if (closeAfter)
        linger(request);
}

} // namespace AppServer
