#pragma once

#include <optional>
#include <string>

namespace Host {

struct HostOptions {
    std::optional<std::string> serverHost;
    int serverPort = 0;
    std::optional<std::string> scriptFile;
    std::string modulePath;   // empty: Pkg_Vop31600.so beside the executable
    std::string trustedCertificate;  // a gateway certificate to trust (self-signed, tests and demo)
    bool openAtStart = false;  // open the screen at once, as the menu would
    bool help = false;
};

inline constexpr const char* hostUsage = "usage: vop-host [--server HOST:PORT] [--open] [--script FILE] [--module PATH] [--trust-cert FILE]\n";

// Throws std::invalid_argument with a message fit for the user.
HostOptions parseHostOptions(int argc, const char* const* argv);

} // namespace Host
