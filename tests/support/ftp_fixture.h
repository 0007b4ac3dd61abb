#pragma once

#include <string>
#include <sys/types.h>

// Test helpers around the FTP server fixture (tests/fixtures/ftpserver.py, a pyftpdlib server
// that speaks CP1252 and lists in MS-DOS style).
namespace TestSupport {

// A fresh directory under the system temp folder, removed with its contents on destruction.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "vop");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

enum class FtpServerKind { Pyftpdlib, Vsftpd };

struct FtpFixtureOptions {
    FtpServerKind kind = FtpServerKind::Pyftpdlib;
    std::string host = "127.0.0.1";   // give every test its own 127.x.y.z
    int port = 21;
    std::string root;                 // served folder; names on disk are UTF-8
    std::string user = "user";
    std::string password = "senha";
    bool seed = false;                // create the small NF-e store before serving
    std::string disable;              // commands the server answers with 500, e.g. "EPRT,EPSV"
    int throttle = 0;                 // data bytes per second, both ways (0: no limit)
    std::string tlsCert, tlsKey;      // explicit TLS with this certificate (vsftpd: required)
    bool tlsRequired = false;         // pyftpdlib: refuse the log-in and data in clear
    // vsftpd only: anonymous log-in (user and password are ignored), root owned by root with the
    // folder "pub" writable below it.
    bool active = true;               // false: PORT and EPRT refused, as behind a firewall
    int idleSeconds = 300;            // the server drops a session idle this long
};

// Runs the server for the lifetime of the object: the constructor returns once it listens
// (or throws std::runtime_error), the destructor stops it.
class FtpFixture {
public:
    explicit FtpFixture(const FtpFixtureOptions& options);
    ~FtpFixture();
    FtpFixture(const FtpFixture&) = delete;
    FtpFixture& operator=(const FtpFixture&) = delete;

    const std::string& host() const { return options_.host; }
    int port() const { return options_.port; }
    const std::string& root() const { return options_.root; }
    const std::string& user() const { return options_.user; }
    const std::string& password() const { return options_.password; }

private:
    void stop() noexcept;

    FtpFixtureOptions options_;
    pid_t pid_ = -1;
    std::string readyFile_;
};

} // namespace TestSupport
