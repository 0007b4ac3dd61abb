#include "appserver/command_line.h"

#include <stdexcept>

namespace AppServer {

std::string usage()
{
    return "usage: vop-appserver --db FILE [--host H] [--port N] [--cert FILE --key FILE] [--watch-stdin]\n"
           "       vop-appserver --gateway --store DIR --login L --password P [--host H] [--port N]\n"
           "                     [--cert FILE --key FILE] [--watch-stdin]\n";
}

Options parseOptions(const std::vector<std::string>& args)
{
    Options options;
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
        else if (arg == "--port") {
            const std::string& text = value();
            std::size_t used = 0;
            int port = -1;
            try {
                port = std::stoi(text, &used);
            } catch (const std::exception&) {
            }
            if (used != text.size() || port < 0 || port > 65535)
                throw std::invalid_argument("bad port: " + text);
            options.port = port;
        } else
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
