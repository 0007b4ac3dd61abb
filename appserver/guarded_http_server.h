#pragma once

#include "appserver/head_watchdog.h"

#include <Poco/Net/HTTPRequestHandlerFactory.h>
#include <Poco/Net/HTTPServerParams.h>
#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/TCPServer.h>
#include <Poco/SharedPtr.h>
#include <Poco/ThreadPool.h>

#include <chrono>
#include <memory>

namespace AppServer {

struct ServerLimits {
    std::chrono::milliseconds headerTimeout{10000}; // the whole request head, and an idle keep-alive wait
    int workers = 256;      // connections served at once
    int queued = 256;       // accepted connections waiting for a worker; beyond that they are closed
};

// Poco's HTTP server with a deadline on every request head. HTTPServer cannot take one: its
// connection class reads the head with the per-read time-out only and offers no hook between the
// accept and the head. So the same HTTPServerConnection runs here inside a connection of our own
// that registers the socket with a HeadWatchdog, and the handler factory is wrapped to lift the
// deadline once a head has been parsed and to arm it again after each reply.
class GuardedHttpServer {
public:
    GuardedHttpServer(Poco::Net::HTTPRequestHandlerFactory::Ptr factory, const Poco::Net::ServerSocket& socket,
        const ServerLimits& limits);
    ~GuardedHttpServer();
    GuardedHttpServer(const GuardedHttpServer&) = delete;
    GuardedHttpServer& operator=(const GuardedHttpServer&) = delete;

    void start();
    // Stops accepting and ends every open connection, a request in progress included.
    void stop();
    Poco::UInt16 port() const { return server_->port(); }

    // For a handler that reads a whole bounded body before answering (the application server): the
    // head's deadline is started again for the body, and lifted when the body is in.
    static void startBodyDeadline();
    static void endBodyDeadline();

private:
    class GuardedFactory;
    HeadWatchdog watchdog_;
    Poco::ThreadPool pool_;
    Poco::SharedPtr<GuardedFactory> factory_;
    std::unique_ptr<Poco::Net::TCPServer> server_;
};

} // namespace AppServer
