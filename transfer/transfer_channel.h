#pragma once

#include "platform/common/work_mode.h"
#include "transfer/transfer_job.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Platform {
class TIdFTP;
class TIdHTTP;
} // namespace Platform

namespace Cli_Vop31601 {

class PartialFile;

// A channel call that failed because of the server or the network, told apart by what the worker
// does next; what() is the client's own text, unchanged. A local file's failure is never one of
// these: it leaves as the Platform::LocalFileError it is.
class TransferError : public std::runtime_error {
public:
    enum class Kind {
        Refused,         // the server said no over a connection that still works
        Unavailable,     // FTP 550: no such file, or not for this user
        NotFound,        // gateway 404: no such file
        ConnectionLost,  // the connection broke, closed or timed out: a fresh one may do better
        DataLost,        // the data connection broke or brought too few bytes; what came is kept
        Cancelled,       // the client gave the request up on the stop request, its work end unsaid
    };
    TransferError(Kind kind, const std::string& text, int code = 0) : std::runtime_error(text), kind_(kind), code_(code) {}
    Kind kind() const { return kind_; }
    // The server's reply code (FTP) or status (gateway) behind it; 0 when none came.
    int code() const { return code_; }
    // The server will take no more sessions from us (FTP 421 or 530 at the log-in of a further one).
    bool tooManySessions() const { return code_ == 421 || code_ == 530; }

private:
    Kind kind_;
    int code_;
};

// One connection of a transfer job to the server, over FTP or the HTTP gateway, working in the job's
// directory until told another. Used from one thread alone: open, then any of the calls below, then
// close; open again is a fresh connection and log-in into the directory last entered. The client's work events reach
// the handlers the channel was made with, per block, as the client raises them. Every call but close
// throws TransferError, or Platform::LocalFileError for a file here that cannot be written.
class TransferChannel {
public:
    virtual ~TransferChannel() = default;

    // FTP: QUIT to any earlier session, connect to the profile's host and port, USER, PASS,
    // CWD <directory>, TYPE I; data connections active (EPRT, else PORT) unless the profile says
    // passive. Gateway: a new HTTP client; nothing is sent.
    virtual void open() = 0;
    // Works in `directory` (absolute) from now on. FTP: CWD directory, unless already there.
    // Gateway: GET cwd?dir=<directory>&to=<directory> (NotFound when it is not there).
    virtual void enter(const std::string& directory) = 0;
    // The listing of the directory, one line each. FTP: LIST. Gateway: GET list?dir=<directory>.
    virtual std::vector<std::string> list() = 0;
    // Creates a directory in the directory. FTP: MKD name. Gateway: POST mkdir?dir=<directory>&name=<name>
    // (Refused, status 409, when the name exists).
    virtual void makeDir(const std::string& name) = 0;
    // The size of a file of the directory in bytes, or -1 when it comes only with the data.
    // FTP: SIZE name (Unavailable when refused with 550). Gateway: nothing sent, -1.
    virtual std::int64_t size(const std::string& name) = 0;
    // Writes the file `name` into partial. size is what size() said: when it is not -1 the download
    // must bring exactly that many bytes. offset > 0 goes on after the partial file's first offset
    // bytes (FTP: REST offset, then RETR; a server that refuses REST gets the file again from its
    // start). FTP: RETR name, the room for size bytes taken on the disk first; a short count or a
    // broken data connection is DataLost, another count Refused. Gateway: GET
    // file?dir=<directory>&name=<name>, always from the start; a body other than its Content-Length is
    // ConnectionLost, and Cancelled means the client gave the request up.
    virtual void download(const std::string& name, PartialFile& partial, std::int64_t size, std::int64_t offset = 0) = 0;
    // When the file was last changed on the server, as it says it (FTP: MDTM name); empty when unknown.
    virtual std::string modified(const std::string& /*name*/) { return {}; }
    // Stores the local file as `name`, replacing any file of that name. FTP: STOR name. Gateway:
    // POST file?dir=<directory>&name=<name>, multipart/form-data with one part "file".
    // offset > 0 (FTP only) sends the rest of the file from there: APPE name.
    virtual void upload(const std::string& localPath, const std::string& name, std::int64_t offset = 0) = 0;
    // Whether the last upload may have left some or all of its file on the server, for a cancelled
    // or failed job to remove: FTP: its STOR began and did not end well; gateway: its request went
    // out whole (the gateway stores only complete files, so a cancel may have come too late).
    virtual bool uploadMayRemain() const = 0;
    // Removes a file of the directory, also after an abort. FTP: DELE name, first logging in again
    // when the session is gone. Gateway: POST delete?dir=<directory>&name=<name>&kind=file, deaf to
    // the stop request.
    virtual void remove(const std::string& name) = 0;
    // Ends the session and frees the client. FTP: QUIT, then the connection closes. Never throws.
    virtual void close() noexcept = 0;
};

// The three work events of a client, as the worker's handlers of that protocol receive them.
struct WorkHandlers {
    std::function<void(Platform::TWorkMode, std::int64_t expected)> begin;
    std::function<void(Platform::TWorkMode, std::int64_t count)> work;
    std::function<void(Platform::TWorkMode)> end;
    // FTP: served while the client waits on the network; it throws to end the wait (a stop that
    // must not wait for a reply). None: the client waits for the reply or its time-out.
    std::function<void()> waiting;
};

// The worker's side of each kind of channel: where its client lives (the worker's FtpCliente and
// HttpCliente, filled by open and emptied by close) and which handlers hear it.
struct FtpSide {
    std::unique_ptr<Platform::TIdFTP>& client;
    WorkHandlers handlers;
    std::string logName;  // the connection's name in the protocol log; empty: "transferência host:port"
};
struct GatewaySide {
    std::unique_ptr<Platform::TIdHTTP>& client;
    WorkHandlers handlers;
    std::function<bool()> stopRequested;  // asked while a request runs, also between its blocks
};

// The channel that the profile asks for, not yet open.
std::unique_ptr<TransferChannel> makeTransferChannel(const ConnectionProfile& profile, const std::string& directory,
                                                     FtpSide ftp, GatewaySide gateway);
// Each kind on its own (transfer/ftp_channel.cpp, transfer/gateway_channel.cpp).
std::unique_ptr<TransferChannel> makeFtpChannel(FtpSide side, FtpProfile profile, std::string directory);
std::unique_ptr<TransferChannel> makeGatewayChannel(GatewaySide side, Platform::GatewaySettings settings,
                                                    std::string directory);

} // namespace Cli_Vop31601
