#include "appserver/app_request_handler.h"

#include "appserver/capped_input_stream.h"
#include "appserver/guarded_http_server.h"
#include "appserver/request_gate.h"

#include <Poco/JSON/Parser.h>
#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/URI.h>

#include <chrono>
#include <memory>
#include <thread>

namespace AppServer {
namespace {

// A call's arguments are a few short texts.
constexpr std::uint64_t bodyLimit = 1024 * 1024;

// The call's arguments; texts are passed on as they are, other scalars as their JSON text.
std::vector<std::string> parseArgs(const std::string& body)
{
    std::vector<std::string> args;
    if (body.empty())
        return args;
    Poco::JSON::Parser parser;
    const auto parsed = parser.parse(body);
    const auto object = parsed.extract<Poco::JSON::Object::Ptr>();
    if (!object->has("args"))
        return args;
    const auto array = object->getArray("args");
    if (!array)
        throw std::runtime_error("\"args\" must be an array");
    for (std::size_t i = 0; i < array->size(); ++i) {
        const auto value = array->get(static_cast<unsigned>(i));
        args.push_back(value.isEmpty() ? std::string() : value.convert<std::string>());
    }
    return args;
}

// Split before decoding, so that an encoded '/' stays inside its segment (a method name is opaque).
std::vector<std::string> pathSegments(const std::string& target)
{
    const std::string path = target.substr(0, target.find('?'));
    std::vector<std::string> segments;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        std::string segment;
        Poco::URI::decode(path.substr(start, slash - start), segment);
        if (!segment.empty())
            segments.push_back(segment);
        start = slash + 1;
    }
    return segments;
}

void send(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response, const AppReply& reply,
    bool bodyLeft = false)
{
    if (reply.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    sendReply(request, response, reply.status, "application/json; charset=utf-8", reply.body, bodyLeft);
}

} // namespace

void AppRequestHandler::handleRequest(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response)
{
    // The head alone decides a refusal; the body is read only when it may be used, and never echoed.
    if (!knownMethod(request)) {
        response.set("Allow", "GET, POST");
        send(request, response, {405, errorBody("Método não permitido: " + request.getMethod()), 0}, true);
        return;
    }
    const BodyVerdict verdict = judgeBody(request, bodyLimit);
    if (verdict != BodyVerdict::none && verdict != BodyVerdict::fits) {
        send(request, response, {verdictStatus(verdict), errorBody(verdictText(verdict, bodyLimit)), 0}, true);
        return;
    }
    std::string body;
    if (verdict == BodyVerdict::fits) {
        // The head's short deadline covers the body too: nobody may hold a worker by trickling it.
        GuardedHttpServer::startBodyDeadline();
        const bool whole = readCapped(request.stream(), bodyLimit, body);
        GuardedHttpServer::endBodyDeadline();
        if (!whole) {
            send(request, response, {413, errorBody(verdictText(BodyVerdict::tooLarge, bodyLimit)), 0}, true);
            return;
        }
    }

    const std::vector<std::string> segments = pathSegments(request.getURI());
    const bool underServers = !segments.empty() && segments[0] == "servers";
    const std::string& verb = request.getMethod();

    if (underServers && segments.size() == 2 && verb == Poco::Net::HTTPRequest::HTTP_GET) {
        send(request, response, store_.connect(segments[1]));
        return;
    }
    if (underServers && segments.size() == 3 && verb == Poco::Net::HTTPRequest::HTTP_POST) {
        std::vector<std::string> args;
        try {
            args = parseArgs(body);
        } catch (const std::exception&) {
            send(request, response, {400, errorBody("Corpo da chamada malformado"), 0});
            return;
        }
        send(request, response, store_.call(segments[1], segments[2], args));
        return;
    }
    send(request, response, {404, errorBody("No such resource: " + verb + " " + request.getURI()), 0});
}

Poco::Net::HTTPRequestHandler* AppRequestHandlerFactory::createRequestHandler(const Poco::Net::HTTPServerRequest&)
{
    // HTTPServer takes ownership of the handler and deletes it after the request.
    return std::make_unique<AppRequestHandler>(store_).release();
}

} // namespace AppServer
