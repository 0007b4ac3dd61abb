#pragma once

#include <string>
#include <vector>

namespace AppServer {

struct Options {
    bool gateway = false;
    std::string db;                  // application server: SQLite settings database
    std::string store, login, password; // gateway: served folder and Basic credentials
    std::string host = "127.0.0.1";
    int port = 0;                    // 0: any free port, printed as the first line
    std::string certFile, keyFile;   // TLS when both are given
    bool watchStdin = false;         // stop when standard input reaches its end (the launcher died)
};

// Throws std::invalid_argument with a usage message on a bad command line.
Options parseOptions(const std::vector<std::string>& args);

std::string usage();

} // namespace AppServer
