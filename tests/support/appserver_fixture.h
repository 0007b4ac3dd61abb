#pragma once

#include <Poco/Pipe.h>
#include <Poco/Process.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Launchers of bin/vop-appserver for tests: each starts the real server on a free port of a loopback
// address, reads the port from its first line and stops it when destroyed. The server also stops by
// itself if the test process dies (its standard input is a pipe from here).
namespace TestSupport {

// A temporary directory, removed with its content on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// One running vop-appserver process.
class ServerProcess {
public:
    explicit ServerProcess(const std::vector<std::string>& args);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    int port() const { return port_; }
    void stop(); // waits for the process to end; the port then refuses connections

private:
    Poco::Pipe stdin_;
    Poco::Pipe stdout_;
    std::optional<Poco::ProcessHandle> handle_;
    int port_ = 0;
};

// The application server over a fresh SQLite file: the schema, then dbSql.
class AppServerProcess {
public:
    explicit AppServerProcess(const std::string& dbSql = {}, const std::string& host = "127.0.0.1");
    int port() const { return server_->port(); }
    const std::string& host() const { return host_; }
    const std::string& dbPath() const { return dbPath_; }
    void exec(const std::string& sql) const; // changes what the running server answers
    void stop() { server_->stop(); }

private:
    TempDir dir_;
    std::string host_;
    std::string dbPath_;
    std::unique_ptr<ServerProcess> server_;
};

// The HTTP gateway over store, TLS when a certificate and key are given.
class GatewayProcess {
public:
    GatewayProcess(const std::string& store, const std::string& login, const std::string& password,
        const std::string& certFile = {}, const std::string& keyFile = {}, const std::string& host = "127.0.0.1");
    int port() const { return server_.port(); }
    const std::string& host() const { return host_; }
    void stop() { server_.stop(); }

private:
    std::string host_;
    ServerProcess server_;
};

struct TestCertificate {
    std::string certFile;
    std::string keyFile;
};
// A self-signed certificate for 127.0.0.1 (subjectAltName IP:127.0.0.1), made with openssl in dir.
TestCertificate makeTestCertificate(const std::string& dir);

// Runs SQL on a SQLite file; throws std::runtime_error with SQLite's message.
void execSql(const std::string& dbPath, const std::string& sql);

} // namespace TestSupport
