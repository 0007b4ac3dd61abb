#pragma once

#include <cstdint>
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
    int headerTimeoutMs = 10000;     // the whole request head must arrive within this time
    std::uint64_t maxUploadBytes = std::uint64_t(2) << 30; // gateway: larger uploads are refused with 413
    bool help = false;               // --help: print the usage and stop
};

// Throws std::invalid_argument with a usage message on a bad command line. With --help anywhere the
// rest is not checked.
Options parseOptions(const std::vector<std::string>& args);

std::string usage();

} // namespace AppServer
