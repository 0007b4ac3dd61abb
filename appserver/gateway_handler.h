#pragma once

#include "appserver/store_paths.h"

#include <Poco/Net/HTTPRequestHandler.h>
#include <Poco/Net/HTTPRequestHandlerFactory.h>

#include <cstdint>
#include <string>

namespace AppServer {

struct GatewayConfig {
    std::string store;
    std::string login;
    std::string password;
    std::uint64_t uploadLimit = std::uint64_t(2) << 30; // bytes of one upload request
};

// The HTTP gateway over one store folder: .../cwd, .../list, .../file (GET and POST), .../delete,
// .../mkdir, whatever path prefix comes before the endpoint. HTTP Basic credentials on every request,
// checked with the method and the announced body length before any of the body is read; a refusal
// that leaves a body unread ends the connection.
class GatewayHandler : public Poco::Net::HTTPRequestHandler {
public:
    GatewayHandler(const GatewayConfig& config, const StorePaths& paths) : config_(config), paths_(paths) {}
    void handleRequest(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response) override;

private:
    const GatewayConfig& config_;
    const StorePaths& paths_;
};

class GatewayHandlerFactory : public Poco::Net::HTTPRequestHandlerFactory {
public:
    explicit GatewayHandlerFactory(GatewayConfig config) : config_(std::move(config)), paths_(config_.store) {}
    Poco::Net::HTTPRequestHandler* createRequestHandler(const Poco::Net::HTTPServerRequest& request) override;

private:
    GatewayConfig config_;
    StorePaths paths_;
};

} // namespace AppServer
