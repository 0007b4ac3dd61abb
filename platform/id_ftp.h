#pragma once

#include "platform/ftp_errors.h"
#include "platform/platform_export.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace Platform {

// Connection and transfer states reported through TIdFTP::OnStatus. The ordinals are fixed:
// the screen's lamp compares against hsConnected (2).
enum class TIdStatus {
    hsResolving = 0,
    hsConnecting = 1,
    hsConnected = 2,
    hsDisconnecting = 3,
    hsDisconnected = 4,
    hsStatusText = 5,
    ftpTransfer = 6,
    ftpReady = 7,
    ftpAborted = 8
};

enum class TWorkMode { wmRead = 0, wmWrite = 1 };

enum class TIdFTPTransferType { ftASCII, ftBinary };

// FTP client: one control connection, data connections active (EPRT, then PORT) or passive
// (EPSV, then PASV). Names and paths are UTF-8 here and CP1252 on the wire. Every network wait
// is bounded by ConnectTimeout or ReadTimeout. Used from one thread; Abort() and
// KillDataChannel() may also come from another thread or from inside OnWork.
class PLATFORM_API TIdFTP {
public:
    std::string Host;
    int Port = 21;
    std::string Username;
    std::string Password;
    bool Passive = false;
    std::chrono::milliseconds ConnectTimeout{15000};
    std::chrono::milliseconds ReadTimeout{60000};

    std::function<void(TIdStatus, const std::string&)> OnStatus;
    // expected is 0 when unknown (downloads)
    std::function<void(TWorkMode, std::int64_t expected)> OnWorkBegin;
    // count is the number of bytes carried so far; one call per 256 KiB block, and the last one
    // repeated every 100 ms while the server has yet to confirm the end (so Abort is still heard)
    std::function<void(TWorkMode, std::int64_t count)> OnWork;
    // also raised when the transfer fails or is aborted, before the exception leaves
    std::function<void(TWorkMode)> OnWorkEnd;

    TIdFTP();
    ~TIdFTP();
    TIdFTP(const TIdFTP&) = delete;
    TIdFTP& operator=(const TIdFTP&) = delete;

    void Connect();
    bool Connected() const;
    void Disconnect();
    void Quit();

    void ChangeDir(const std::string& dir);
    std::string RetrieveCurrentDir();
    void List(std::vector<std::string>& lines);
    void TransferType(TIdFTPTransferType type);
    std::int64_t Size(const std::string& name);

    void Get(const std::string& remote, const std::string& localPath, bool overwrite);
    void Get(const std::string& remote, std::ostream& out);
    void Put(const std::string& localPath, const std::string& remote, bool append);
    void Put(std::istream& in, const std::string& remote, bool append);

    void Delete(const std::string& name);
    void RemoveDir(const std::string& name);
    void MakeDir(const std::string& name);

    void Abort();
    void KillDataChannel();

    // Sends any command; returns the reply code, or throws FtpError when the code is not one of
    // okCodes (an empty list accepts every reply).
    int SendCmd(const std::string& command, std::initializer_list<int> okCodes);
    const std::string& LastReply() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Platform
