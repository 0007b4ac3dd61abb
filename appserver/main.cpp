// vop-appserver: the application server (--db) or the HTTP gateway (--gateway) on one port.
// The first line on standard output is the bound port; the server then runs until SIGINT/SIGTERM
// (or, with --watch-stdin, until its standard input ends, so that a crashed test leaves no server).
#include "appserver/app_request_handler.h"
#include "appserver/app_store.h"
#include "appserver/command_line.h"
#include "appserver/gateway_handler.h"
#include "appserver/guarded_http_server.h"
#include "appserver/tls_setup.h"

#include <csignal>
#include <iostream>
#include <thread>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

Poco::Net::HTTPRequestHandlerFactory::Ptr handlerFactory(const AppServer::Options& options)
{
    if (options.gateway)
        return Poco::makeShared<AppServer::GatewayHandlerFactory>(
            AppServer::GatewayConfig{options.store, options.login, options.password, options.maxUploadBytes});
    AppServer::AppStore(options.db).applySchema();
    return Poco::makeShared<AppServer::AppRequestHandlerFactory>(options.db);
}

// Every worker's connection holds two descriptors (the watchdog keeps a duplicate) and the queue one
// each: the soft limit of 1024 would be near at full load, so it is raised to the hard one.
void raiseDescriptorLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void stopWhenStdinEnds()
{
    std::thread([] {
        char buffer[256];
        while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
        }
        ::kill(::getpid(), SIGTERM);
    }).detach();
}

} // namespace

int main(int argc, char** argv)
{
    // Blocked before any thread starts, so that only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    AppServer::Options options;
    try {
        options = AppServer::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "vop-appserver: " << e.what() << "\n" << AppServer::usage();
        return 2;
    }
    if (options.help) {
        std::cout << AppServer::usage();
        return 0;
    }
    raiseDescriptorLimit();
    try {
        AppServer::ServerLimits limits;
        limits.headerTimeout = std::chrono::milliseconds(options.headerTimeoutMs);
        AppServer::GuardedHttpServer server(handlerFactory(options),
            AppServer::listeningSocket(options.host, options.port, options.certFile, options.keyFile), limits);
        server.start();
        std::cout << server.port() << std::endl;
        std::cerr << "vop-appserver: " << (options.gateway ? "gateway for " + options.store : "application server on " + options.db)
                  << " at " << options.host << ":" << server.port() << (options.certFile.empty() ? "" : " (TLS)") << std::endl;
        if (options.watchStdin)
            stopWhenStdinEnds();
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    } catch (const Poco::Exception& e) {
        std::cerr << "vop-appserver: " << e.displayText() << std::endl;
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "vop-appserver: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
