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

inline constexpr const char* hostUsage =
    "usage: vop-host [--server HOST:PORT] [--open] [--script FILE] [--module PATH] [--trust-cert FILE]\n"
    "  --server HOST:PORT   the application server the host and the screen take their settings from\n"
    "  --open               open the screen at start, as the Módulos menu would\n"
    "  --script FILE        run the automation script FILE (one command a line) and exit with its status\n"
    "  --module PATH        the screen module to load (default: Pkg_Vop31600.so beside vop-host)\n"
    "  --trust-cert FILE    trust this gateway certificate (a self-signed one, for tests and the demo)\n"
    "  -h, --help           print this and exit\n"
    "Qt's own options (-platform offscreen, ...) are accepted too.\n";

// Throws std::invalid_argument with a message fit for the user.
HostOptions parseHostOptions(int argc, const char* const* argv);

} // namespace Host
