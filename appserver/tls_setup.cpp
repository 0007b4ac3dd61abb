#include "appserver/tls_setup.h"

#include <Poco/Net/Context.h>
#include <Poco/Net/SSLManager.h>
#include <Poco/Net/SecureServerSocket.h>
#include <Poco/Net/SocketAddress.h>

namespace AppServer {

Poco::Net::ServerSocket listeningSocket(const std::string& host, int port, const std::string& certFile, const std::string& keyFile)
{
    const Poco::Net::SocketAddress address(host, static_cast<Poco::UInt16>(port));
    if (certFile.empty())
        return Poco::Net::ServerSocket(address);
    Poco::Net::initializeSSL();
    // Clients are not asked for certificates: the gateway authenticates them with Basic credentials.
    Poco::Net::Context::Ptr context = Poco::makeAuto<Poco::Net::Context>(
        Poco::Net::Context::TLS_SERVER_USE, keyFile, certFile, "", Poco::Net::Context::VERIFY_NONE);
    return Poco::Net::SecureServerSocket(address, 64, context);
}

} // namespace AppServer
