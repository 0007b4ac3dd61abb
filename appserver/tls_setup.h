#pragma once

#include <Poco/Net/ServerSocket.h>

#include <string>

namespace AppServer {

// The listening socket: plain, or TLS with the given certificate and key (PEM files).
Poco::Net::ServerSocket listeningSocket(const std::string& host, int port, const std::string& certFile, const std::string& keyFile);

} // namespace AppServer
