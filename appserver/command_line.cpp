#include "appserver/command_line.h"

#include <stdexcept>

namespace AppServer {

std::string usage()
{
    return "usage: vop-appserver --db FILE [--host H] [--port N] [--cert FILE --key FILE] [--watch-stdin]\n"
           "                     [--header-timeout-ms N]\n"
           "       vop-appserver --gateway --store DIR --login L --password P [--host H] [--port N]\n"
           "                     [--cert FILE --key FILE] [--watch-stdin] [--header-timeout-ms N]\n"
           "                     [--max-upload-bytes N]\n"
           "       vop-appserver --help\n"
           "  --header-timeout-ms N  time for a whole request head, and for an idle keep-alive connection (10000)\n"
           "  --max-upload-bytes N   largest gateway upload request accepted (2147483648)\n";
}

namespace {

std::uint64_t number(const std::string& option, const std::string& text, std::uint64_t low, std::uint64_t high)
{
    std::size_t used = 0;
    unsigned long long value = 0;
    try {
        if (!text.empty() && text[0] != '-')
            value = std::stoull(text, &used);
    } catch (const std::exception&) {
    }
    if (used == 0 || used != text.size() || value < low || value > high)
        throw std::invalid_argument("bad value for " + option + ": " + text);
    return value;
}

} // namespace

Options parseOptions(const std::vector<std::string>& args)
{
    Options options;
    for (const auto& arg : args)
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw std::invalid_argument(arg + " needs a value");
            return args[++i];
        };
        if (arg == "--gateway")
            options.gateway = true;
        else if (arg == "--watch-stdin")
            options.watchStdin = true;
        else if (arg == "--db")
            options.db = value();
        else if (arg == "--store")
            options.store = value();
        else if (arg == "--login")
            options.login = value();
        else if (arg == "--password")
            options.password = value();
        else if (arg == "--host")
            options.host = value();
        else if (arg == "--cert")
            options.certFile = value();
        else if (arg == "--key")
            options.keyFile = value();
        else if (arg == "--port")
            options.port = static_cast<int>(number(arg, value(), 0, 65535));
        else if (arg == "--header-timeout-ms")
            options.headerTimeoutMs = static_cast<int>(number(arg, value(), 1, 3600000));
        else if (arg == "--max-upload-bytes")
            options.maxUploadBytes = number(arg, value(), 1, std::uint64_t(1) << 50);
        else
            throw std::invalid_argument("unknown option: " + arg);
    }
    if (options.gateway && (options.store.empty() || options.login.empty()))
        throw std::invalid_argument("--gateway needs --store and --login");
    if (!options.gateway && options.db.empty())
        throw std::invalid_argument("--db is required");
    if (options.certFile.empty() != options.keyFile.empty())
        throw std::invalid_argument("--cert and --key go together");
    return options;
}

} // namespace AppServer
