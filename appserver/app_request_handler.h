#pragma once

#include "appserver/app_store.h"

#include <Poco/Net/HTTPRequestHandler.h>
#include <Poco/Net/HTTPRequestHandlerFactory.h>

namespace AppServer {

// GET /servers/<server> connects, POST /servers/<server>/<method> {"args":[...]} calls.
class AppRequestHandler : public Poco::Net::HTTPRequestHandler {
public:
    explicit AppRequestHandler(const AppStore& store) : store_(store) {}
    void handleRequest(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response) override;

private:
    const AppStore& store_;
};

class AppRequestHandlerFactory : public Poco::Net::HTTPRequestHandlerFactory {
public:
    explicit AppRequestHandlerFactory(std::string dbPath) : store_(std::move(dbPath)) {}
    Poco::Net::HTTPRequestHandler* createRequestHandler(const Poco::Net::HTTPServerRequest& request) override;

private:
    AppStore store_;
};

} // namespace AppServer
