#include "host/host_options.h"

#include <charconv>
#include <stdexcept>

namespace Host {

namespace {

void parseServer(const std::string& value, HostOptions& options)
{
    const auto colon = value.rfind(':');
    if (colon == std::string::npos || colon == 0)
        throw std::invalid_argument("--server needs HOST:PORT, not '" + value + "'");
    int port = 0;
    const char* first = value.data() + colon + 1;
    const char* last = value.data() + value.size();
    const auto [end, error] = std::from_chars(first, last, port);
    if (error != std::errc() || end != last || port <= 0 || port > 65535)
        throw std::invalid_argument("--server has no valid port in '" + value + "'");
    options.serverHost = value.substr(0, colon);
    options.serverPort = port;
}

} // namespace

HostOptions parseHostOptions(int argc, const char* const* argv)
{
    HostOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            continue;
        }
        if (arg == "--open") {
            options.openAtStart = true;
            continue;
        }
        if (arg != "--server" && arg != "--script" && arg != "--module" && arg != "--trust-cert")
            throw std::invalid_argument("unknown argument '" + arg + "'");
        if (i + 1 >= argc)
            throw std::invalid_argument(arg + " needs a value");
        const std::string value = argv[++i];
        if (arg == "--server")
            parseServer(value, options);
        else if (arg == "--script")
            options.scriptFile = value;
        else if (arg == "--trust-cert")
            options.trustedCertificate = value;
        else
            options.modulePath = value;
    }
    return options;
}

} // namespace Host
