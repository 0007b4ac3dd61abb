#include "appserver/guarded_http_server.h"

#include <Poco/Net/HTTPRequestHandler.h>
#include <Poco/Net/HTTPServerConnection.h>
#include <Poco/Net/TCPServerConnectionFactory.h>

namespace AppServer {
namespace {

// The connection the calling worker thread serves: the factory runs on that thread between the
// head and the handler.
struct CurrentConnection {
    HeadWatchdog* watchdog = nullptr;
    HeadWatchdog::Entry* entry = nullptr;
};
thread_local CurrentConnection current;

// Arms the deadline again when the reply is done: the next head (or the idle keep-alive wait before
// it) has the same short time.
class RearmingHandler : public Poco::Net::HTTPRequestHandler {
public:
    explicit RearmingHandler(std::unique_ptr<Poco::Net::HTTPRequestHandler> inner) : inner_(std::move(inner)) {}
    ~RearmingHandler() override
    {
        if (current.entry)
            current.watchdog->arm(current.entry);
    }
    void handleRequest(Poco::Net::HTTPServerRequest& request, Poco::Net::HTTPServerResponse& response) override
    {
        inner_->handleRequest(request, response);
    }

private:
    std::unique_ptr<Poco::Net::HTTPRequestHandler> inner_;
};

} // namespace

class GuardedHttpServer::GuardedFactory : public Poco::Net::HTTPRequestHandlerFactory {
public:
    explicit GuardedFactory(Poco::Net::HTTPRequestHandlerFactory::Ptr inner) : inner_(std::move(inner)) {}

    Poco::Net::HTTPRequestHandler* createRequestHandler(const Poco::Net::HTTPServerRequest& request) override
    {
        if (current.entry)
            current.watchdog->disarm(current.entry);
        std::unique_ptr<Poco::Net::HTTPRequestHandler> inner(inner_->createRequestHandler(request));
        if (!inner)
            return nullptr;
        // HTTPServerConnection takes ownership and deletes the handler after the reply.
        return std::make_unique<RearmingHandler>(std::move(inner)).release();
    }

    // HTTPServerConnection listens to this event to end a request in progress.
    void stopAll()
    {
        const bool abortCurrent = true;
        serverStopped(this, abortCurrent);
    }

private:
    Poco::Net::HTTPRequestHandlerFactory::Ptr inner_;
};

namespace {

// Registers the connection of the calling thread with the watchdog for as long as it lives.
class Watched {
public:
    Watched(HeadWatchdog& watchdog, int fd) { current = {&watchdog, watchdog.watch(fd)}; }
    ~Watched()
    {
        current.watchdog->forget(current.entry);
        current = {};
    }
    Watched(const Watched&) = delete;
    Watched& operator=(const Watched&) = delete;
};

class GuardedConnection : public Poco::Net::TCPServerConnection {
public:
    GuardedConnection(const Poco::Net::StreamSocket& socket, HeadWatchdog& watchdog,
        Poco::Net::HTTPServerParams::Ptr params, Poco::Net::HTTPRequestHandlerFactory::Ptr factory)
        : TCPServerConnection(socket), watchdog_(watchdog), params_(std::move(params)), factory_(std::move(factory))
    {
    }

    void run() override
    {
        const Watched watched(watchdog_, socket().impl()->sockfd());
        Poco::Net::HTTPServerConnection(socket(), params_, factory_).run();
    }

private:
    HeadWatchdog& watchdog_;
    Poco::Net::HTTPServerParams::Ptr params_;
    Poco::Net::HTTPRequestHandlerFactory::Ptr factory_;
};

class GuardedConnectionFactory : public Poco::Net::TCPServerConnectionFactory {
public:
    GuardedConnectionFactory(HeadWatchdog& watchdog, Poco::Net::HTTPServerParams::Ptr params,
        Poco::Net::HTTPRequestHandlerFactory::Ptr factory)
        : watchdog_(watchdog), params_(std::move(params)), factory_(std::move(factory))
    {
    }

    Poco::Net::TCPServerConnection* createConnection(const Poco::Net::StreamSocket& socket) override
    {
        // TCPServerDispatcher takes ownership of the connection.
        return std::make_unique<GuardedConnection>(socket, watchdog_, params_, factory_).release();
    }

private:
    HeadWatchdog& watchdog_;
    Poco::Net::HTTPServerParams::Ptr params_;
    Poco::Net::HTTPRequestHandlerFactory::Ptr factory_;
};

} // namespace

GuardedHttpServer::GuardedHttpServer(Poco::Net::HTTPRequestHandlerFactory::Ptr factory,
    const Poco::Net::ServerSocket& socket, const ServerLimits& limits)
    : watchdog_(limits.headerTimeout), pool_(2, limits.workers + 2), factory_(Poco::makeShared<GuardedFactory>(std::move(factory)))
{
    auto params = Poco::makeAuto<Poco::Net::HTTPServerParams>();
    params->setMaxThreads(limits.workers);
    params->setMaxQueued(limits.queued);
    params->setKeepAlive(true);
    params->setMaxKeepAliveRequests(100000);
    // The watchdog ends an idle keep-alive wait at the same moment; this is only the fallback.
    params->setKeepAliveTimeout(Poco::Timespan(static_cast<long>(limits.headerTimeout.count()) * 1000));
    // Bodies are read with the per-read time-out: a silent client mid-body is given up after it.
    params->setTimeout(Poco::Timespan(60, 0));
    server_ = std::make_unique<Poco::Net::TCPServer>(
        Poco::makeShared<GuardedConnectionFactory>(watchdog_, params, factory_), pool_, socket, params);
}

GuardedHttpServer::~GuardedHttpServer()
{
    stop();
    pool_.joinAll();
}

void GuardedHttpServer::start()
{
    server_->start();
}

void GuardedHttpServer::stop()
{
    server_->stop();
    factory_->stopAll();
    watchdog_.shutdownAll();
}

void GuardedHttpServer::startBodyDeadline()
{
    if (current.entry)
        current.watchdog->arm(current.entry);
}

void GuardedHttpServer::endBodyDeadline()
{
    if (current.entry)
        current.watchdog->disarm(current.entry);
}

} // namespace AppServer
