#pragma once

#include "platform/ftp/id_ftp.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Platform {
class TIdHTTP;
struct GatewaySettings;
} // namespace Platform

namespace Cli_Vop31600 {

// How a transfer's own FTP connection must speak TLS: as the screen's did, with the certificate the
// screen accepted (empty: only one the system's authorities vouch for).
struct TransferTls {
    Platform::TIdUseTLS mode = Platform::TIdUseTLS::utUseExplicitTLS;
    std::string fingerprint;
    bool known = false;  // decided by a session of the screen's; else the trust store is asked
};

// What the screen does to the remote tree, over its own FTP connection or the HTTP gateway. The
// screen's handlers keep their order of effects and call these; each call is one step on the wire.
class RemoteBrowser {
public:
    virtual ~RemoteBrowser() = default;

    // FTP: ends any open session (QUIT) and logs in again. Gateway: nothing to open.
    virtual void connect() = 0;
    // FTP: QUIT and close. Gateway: nothing. Never throws.
    virtual void disconnect() noexcept = 0;
    // Whether commands can be sent now (the gateway is always reachable by request). FTP: a session
    // that the server closed while idle (421, end, reset) is opened again first, once, back in the
    // directory shown; a failure to do so is thrown.
    virtual bool connected() = 0;
    // FTP: CWD path. Gateway: GET cwd?dir=<current>&to=<path>, which becomes the current directory.
    virtual void changeDir(const std::string& path) = 0;
    // FTP: PWD, asked anew at every call. Gateway: the directory its last cwd answered.
    virtual std::string currentDir() = 0;
    // FTP: LIST of the current directory. Gateway: GET list?dir=<current>. Lines decoded to UTF-8.
    virtual std::vector<std::string> list() = 0;
    // FTP: DELE (RMD for a directory). Gateway: POST delete?dir&name&kind=file|dir.
    virtual void remove(const std::string& name, bool isDirectory) = 0;
    // FTP: MKD. Gateway: POST mkdir?dir&name.
    virtual void makeDir(const std::string& name) = 0;
    // The bytes of a file of the current directory, in memory only. FTP: TYPE I, RETR name (exactly
    // expectedSize bytes when it is not -1). Gateway: GET file?dir=<current>&name=<name>. Throws
    // FileTooLarge (screen/memory_sink.h) once more than maxBytes arrive, the transfer then stopped;
    // otherwise what the client throws (a refusal, a lost connection, a short count).
    virtual std::string read(const std::string& name, std::int64_t expectedSize, std::int64_t maxBytes) = 0;
    // Whether a call is under way (see busyTracking): work that a nested event loop runs meanwhile
    // (a timer, a prompt's loop) must not use the client then.
    virtual bool busy() const { return false; }
    // The TLS a transfer's own connection to this server must use (FTP only).
    virtual TransferTls transferTls() const { return {}; }
};

struct FtpLogin {
    std::string host, user, password;
};

// Both browse through the screen's own clients, which outlive them.
std::unique_ptr<RemoteBrowser> makeFtpBrowser(Platform::TIdFTP& client, FtpLogin login);
std::unique_ptr<RemoteBrowser> makeGatewayBrowser(Platform::TIdHTTP& client, const Platform::GatewaySettings& settings);
// The same browser, telling through busy() whether one of its calls is under way.
std::unique_ptr<RemoteBrowser> busyTracking(std::unique_ptr<RemoteBrowser> browser);
// The screen's browser as the module's settings ask (the gateway in HTTP mode, else FTP with login),
// telling when it is busy.
std::unique_ptr<RemoteBrowser> screenBrowser(Platform::TIdFTP& ftp, Platform::TIdHTTP& http, FtpLogin login);

} // namespace Cli_Vop31600
