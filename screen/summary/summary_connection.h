#pragma once

#include "screen/browse/remote_browser.h"

#include "transfer/transfer_job.h"
#include "platform/http/gateway_client.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace Platform {
class TIdHTTP;
}

namespace Cli_Vop31600 {

// Where the summary reads from: the screen's server and directory, as they are when it starts.
struct SummarySource {
    bool gateway = false;
    Cli_Vop31601::FtpProfile ftp;        // as the screen's session logs in (TLS and mode included)
    Platform::GatewaySettings settings;  // the gateway
    std::string directory;              // the path box

    // Names the server and the account: a file of the same name elsewhere is another file.
    std::string identity() const;
};

// Why a read failed: the file alone (it vanished, the server refused it) or the connection.
class SummaryReadError : public std::runtime_error {
public:
    SummaryReadError(bool connectionLost, const std::string& text)
        : std::runtime_error(text), connectionLost_(connectionLost) {}
    bool connectionLost() const { return connectionLost_; }

private:
    bool connectionLost_;
};

// The summary's own connection (never the screen's), used on its worker thread alone: its own
// client of the screen's kind, logged in and in the directory at the first read. Over FTP it speaks
// TLS as the screen's session does and takes only the certificate the screen accepted (it never asks).
// Every wait on the network ends within a wait slice once stop is set.
class SummaryConnection {
public:
    SummaryConnection(SummarySource source, const std::atomic<bool>& stop);
    ~SummaryConnection();
    SummaryConnection(const SummaryConnection&) = delete;
    SummaryConnection& operator=(const SummaryConnection&) = delete;

    // The bytes of one file of the directory, in memory only. Throws FileTooLarge past maxBytes,
    // SummaryReadError otherwise, Platform::WaitCancelled once stopped.
    std::string read(const std::string& name, std::int64_t expectedSize, std::int64_t maxBytes);
    void close() noexcept;

private:
    void open();

    SummarySource source_;
    const std::atomic<bool>& stop_;
    std::unique_ptr<Platform::TIdFTP> ftp_;
    std::unique_ptr<Platform::TIdHTTP> http_;
    std::unique_ptr<RemoteBrowser> browser_;
};

} // namespace Cli_Vop31600
