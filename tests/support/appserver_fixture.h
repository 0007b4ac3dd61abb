#pragma once

#include <Poco/Net/StreamSocket.h>
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

// The application server over a fresh SQLite file: the schema, then dbSql; extraArgs go to its
// command line (such as a short --header-timeout-ms).
class AppServerProcess {
public:
    explicit AppServerProcess(const std::string& dbSql = {}, const std::string& host = "127.0.0.1",
        const std::vector<std::string>& extraArgs = {});
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
        const std::string& certFile = {}, const std::string& keyFile = {}, const std::string& host = "127.0.0.1",
        const std::vector<std::string>& extraArgs = {});
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
// A self-signed certificate for host (an address: subjectAltName IP:host), made with openssl in dir.
TestCertificate makeTestCertificate(const std::string& dir, const std::string& host = "127.0.0.1");
// The SHA-256 fingerprint of a PEM certificate as openssl prints it ("AB:CD:...").
std::string certificateFingerprint(const std::string& certFile);

// One reply read off a raw connection, for requests no well-behaved client would send.
struct RawReply {
    int status = 0;          // 0: the connection ended (or timed out) before a status line
    std::string head;        // status line and header fields
    std::string body;        // as many bytes as Content-Length said
    double seconds = 0;      // from the last byte sent to the whole reply
    bool closed = false;     // the server ended the connection within 0.5 s of the reply
};
// Sends bytes (none: only reads) on a connection already open, or on a new one to host:port, and
// reads one reply, waiting at most timeoutMs for it.
RawReply rawExchange(Poco::Net::StreamSocket& socket, const std::string& bytes, int timeoutMs = 5000);
RawReply rawExchange(const std::string& host, int port, const std::string& bytes, int timeoutMs = 5000);

// Runs SQL on a SQLite file; throws std::runtime_error with SQLite's message.
void execSql(const std::string& dbPath, const std::string& sql);

} // namespace TestSupport
