#include "appserver/app_request_handler.h"

#include <Poco/JSON/Parser.h>
#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/StreamCopier.h>
#include <Poco/URI.h>

#include <chrono>
#include <memory>
#include <thread>

namespace AppServer {
namespace {

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

void send(Poco::Net::HTTPServerResponse& response, const AppReply& reply)
{
    if (reply.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    response.setStatusAndReason(static_cast<Poco::Net::HTTPResponse::HTTPStatus>(reply.status));
    response.setContentType("application/json; charset=utf-8");
    response.setContentLength(static_cast<std::streamsize>(reply.body.size()));
    response.send() << reply.body;
}

} // namespace

void AppRequestHandler::handleRequest(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response)
{
    std::string body;
    Poco::StreamCopier::copyToString(request.stream(), body);

    const std::vector<std::string> segments = pathSegments(request.getURI());
    const bool underServers = !segments.empty() && segments[0] == "servers";
    const std::string& verb = request.getMethod();

    if (underServers && segments.size() == 2 && verb == Poco::Net::HTTPRequest::HTTP_GET) {
        send(response, store_.connect(segments[1]));
        return;
    }
    if (underServers && segments.size() == 3 && verb == Poco::Net::HTTPRequest::HTTP_POST) {
        std::vector<std::string> args;
        try {
            args = parseArgs(body);
        } catch (const std::exception& e) {
            send(response, {400, errorBody(std::string("Malformed call body: ") + e.what()), 0});
            return;
        }
        send(response, store_.call(segments[1], segments[2], args));
        return;
    }
    send(response, {404, errorBody("No such resource: " + verb + " " + request.getURI()), 0});
}

Poco::Net::HTTPRequestHandler* AppRequestHandlerFactory::createRequestHandler(const Poco::Net::HTTPServerRequest&)
{
    // HTTPServer takes ownership of the handler and deletes it after the request.
    return std::make_unique<AppRequestHandler>(store_).release();
}

} // namespace AppServer
