#pragma once

#include "platform/common/local_file_error.h"
#include "platform/common/wait_hook.h"
#include "platform/common/work_mode.h"
#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/tls_certificate.h"
#include "platform/common/platform_export.h"
#include "platform/common/protocol_log.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <optional>
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

enum class TIdFTPTransferType { ftASCII, ftBinary };

// Explicit TLS (AUTH TLS after the greeting): never asked, asked and plain FTP when refused, or required.
enum class TIdUseTLS { utNoTLSSupport, utUseExplicitTLS, utUseRequireTLS };

// The encryption of a connected session.
struct TIdTlsInfo {
    std::string protocol;     // "TLSv1.3"
    std::string cipher;       // "TLS_AES_256_GCM_SHA384"
    std::string fingerprint;  // the server certificate's SHA-256, "AB:CD:..."
};

// One line of the protocol log: a command sent (PASS masked), a reply, or what the client did.
using TIdLogKind = ProtocolLog::Kind;

// FTP client: one control connection, data connections active (EPRT, then PORT; taken only from
// the control connection's peer) or passive (EPSV, then PASV). Names and paths are UTF-8 here and
// CP1252 on the wire. Every network wait is bounded by ConnectTimeout or ReadTimeout; one reply
// is at most 1 MiB. Used from one thread; Abort() and KillDataChannel() may also come from
// another thread or from inside OnWork.
class PLATFORM_API TIdFTP {
public:
    std::string Host;
    int Port = 21;
    std::string Username;
    std::string Password;
    // Active mode unless set; a session whose server refuses active mode (EPRT/PORT refused, or 425
    // for the data connection) sets it and goes on in passive mode.
    bool Passive = false;
    TIdUseTLS UseTLS = TIdUseTLS::utNoTLSSupport;
    // When set, the server's certificate must have this SHA-256 fingerprint ("AB:CD:..."); nothing else is asked.
    std::string TrustedFingerprint;
    // Without a trusted fingerprint: asked after the TLS handshake, before USER; true goes on.
    // Without this either, only a certificate the system trusts for Host goes on.
    std::function<bool(const TlsCertificate&)> OnVerifyPeer;
    // Every command and reply of the session (PASS as "PASS ****"), and its TLS and mode changes.
    std::function<void(TIdLogKind, const std::string&)> OnLog;
    std::chrono::milliseconds ConnectTimeout{15000};
    std::chrono::milliseconds ReadTimeout{60000};
    // A listing as a whole, final reply included (each read has ReadTimeout besides).
    std::chrono::milliseconds ListingTimeout{60000};

    std::function<void(TIdStatus, const std::string&)> OnStatus;
    // expected is 0 when unknown
    std::function<void(TWorkMode, std::int64_t expected)> OnWorkBegin;
    // count is the number of bytes carried so far; one call per 256 KiB block, at least one every
    // 100 ms while a block is under way, and the last one repeated every 100 ms while the server
    // has yet to confirm the end (so Abort is heard at any rate)
    std::function<void(TWorkMode, std::int64_t count)> OnWork;
    // also raised when the transfer fails or is aborted, before the exception leaves
    std::function<void(TWorkMode)> OnWorkEnd;
    // Served on the calling thread while any call waits on the network (connect, each reply, a data
    // connection, between the blocks of a listing), at most kWaitSlice apart. When it throws, the
    // connection is closed and its exception leaves the waiting call. Only a client used on the GUI
    // thread may have one.
    WaitHook OnWaiting;

    TIdFTP();
    ~TIdFTP();
    TIdFTP(const TIdFTP&) = delete;
    TIdFTP& operator=(const TIdFTP&) = delete;

    // Opens the control connection (ConnectTimeout), reads the banner; with UseTLS sends AUTH TLS,
    // does the handshake and judges the certificate before sending USER and PASS; then PBSZ 0 and
    // PROT P (every data connection encrypted, resuming the session's TLS session). Raises the
    // connected status. Throws FtpError with the server's text on a refusal, FtpTimeout when the
    // server does not answer, FtpTlsRefused when TLS is required and refused, FtpCertificateRejected
    // when the certificate is not accepted; the password is never part of a message.
    void Connect();
    // The session's encryption, or nothing while plain (or not connected).
    std::optional<TIdTlsInfo> TlsInfo() const;
    // Whether the control connection is open and encrypted (cheap: for painting). Once the session is
    // encrypted and logged in, hsConnected is raised again, so that a lamp can show it.
    bool Encrypted() const;
    // True while the control connection is open; notices a server that hung up, without sending.
    bool Connected() const;
    // Sends QUIT when the session is idle, then closes without awaiting the answer.
    // Never throws.
    void Disconnect();
    // The same as Disconnect.
    void Quit();

    // CWD dir. Throws FtpError with the server's text when refused (550 for a missing directory).
    void ChangeDir(const std::string& dir);
    // PWD; the quoted path of the 257 reply with doubled quotes undone ("" when the reply has none).
    std::string RetrieveCurrentDir();
    // EPRT (or PORT, or EPSV/PASV when Passive), LIST; the listing's lines, CP1252 decoded.
    // Throws FtpError when the listing passes its size limits or ListingTimeout (the session is
    // kept in step by ABOR, or closed).
    void List(std::vector<std::string>& lines);
    // TYPE I or TYPE A.
    void TransferType(TIdFTPTransferType type);
    // SIZE name; the size in bytes. Throws FtpError when refused or unparsable.
    std::int64_t Size(const std::string& name);

    // RETR into a local file (created, or truncated when overwrite) or a stream, with the work
    // events per block. size is what SIZE announced (-1: unknown): the download must bring exactly
    // that many bytes, and no byte beyond it is written; a local disk without room for them is
    // told before RETR is sent. Throws FtpError (refusal, a broken data connection, "recebidos X de
    // Y bytes" for another count; for a stream, one that takes no more), FtpTimeout, or FtpAborted
    // after Abort; into a file, LocalFileError (platform/common) when the file cannot be created or
    // written, the session kept in step.
    void Get(const std::string& remote, const std::string& localPath, bool overwrite, std::int64_t size = -1);
    void Get(const std::string& remote, std::ostream& out, std::int64_t size = -1);
    // A download resumed: REST offset (350 expected) right before RETR, the local file kept up to
    // offset and written on from there; size is the whole file's. offset 0 is a plain Get over the
    // file. Work counts include the offset. A refused REST throws FtpError with the server's code
    // (nothing was written). A broken data connection or a short count throws FtpDataLost.
    void GetFrom(const std::string& remote, const std::string& localPath, std::int64_t offset, std::int64_t size);
    // STOR (APPE when append) from a local file or a stream; the same events and exceptions as Get.
    void Put(const std::string& localPath, const std::string& remote, bool append);
    void Put(std::istream& in, const std::string& remote, bool append);
    // An upload resumed: APPE remote with the local file from offset on (STOR from the start when
    // offset is 0); work counts include the offset.
    void PutFrom(const std::string& localPath, const std::string& remote, std::int64_t offset);

    // DELE, RMD, MKD; FtpError with the server's text when refused (never recursive).
    void Delete(const std::string& name);
    void RemoveDir(const std::string& name);
    void MakeDir(const std::string& name);

    // From any thread: asks the running transfer to stop. The transfer's thread then sends IAC IP,
    // IAC DM (urgent), ABOR, closes the data connection and reads both replies, and throws FtpAborted.
    void Abort();
    // From any thread: closes the data connection under a running transfer.
    void KillDataChannel();

    // Sends any command; returns the reply code, or throws FtpError when the code is not one of
    // okCodes (an empty list accepts every reply).
    int SendCmd(const std::string& command, std::initializer_list<int> okCodes);
    const std::string& LastReply() const;

private:
    void receiveFile(const std::string& remote, const std::string& localPath, int openFlags, std::int64_t offset,
                     std::int64_t size);
    void sendFile(const std::string& localPath, const std::string& remote, bool append, std::int64_t offset);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace Platform
