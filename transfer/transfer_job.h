#pragma once

#include "platform/ftp/id_ftp.h"
#include "platform/http/gateway_client.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Cli_Vop31601 {

enum class TransferKind { Download, Upload, Nothing, BatchDownload, FolderUpload };
enum class TransferMode { Ftp, Gateway };

// One entry of a listing as the screen reads it: a row of a batch download, or a line of a
// directory the download walks. size is -1 when the listing gives none.
struct BatchFile {
    std::string name;
    std::int64_t size = -1;
    bool isDirectory = false;
    std::string modification;  // the listing's time, as it gives it
};

// How the screen reads one line of a listing: false for a line that gives no entry (the "total"
// line, a name shown nowhere). The worker reads the directories it walks so; called from its threads.
using ListingReader = std::function<bool(const std::string& line, BatchFile& entry)>;

// What a batch download does with a file already in the chosen folder: fetches it again, leaves it,
// or leaves it only when it has the remote file's size and is not older.
enum class ExistingFiles { Replace, Keep, NewOrChanged };

// The connections of one batch download or folder upload, the worker's own included.
inline constexpr int kDefaultConnections = 3;
inline constexpr int kMaxConnections = 4;

// How the worker reaches the FTP server.
struct FtpProfile {
    std::string host, user, password;
    int port = 21;
    bool passive = false;  // active mode: the server opens the data connections
    // TLS as the screen's connection spoke it; the certificate must have the fingerprint the screen
    // accepted (empty: only one the system's authorities vouch for).
    Platform::TIdUseTLS tls = Platform::TIdUseTLS::utUseExplicitTLS;
    std::string fingerprint;
};

// Sets client up to log in as profile says (host, port, credentials, mode, TLS): every FTP connection
// of its own that the screen opens is set up by it.
void applyFtpProfile(Platform::TIdFTP& client, const FtpProfile& profile);

// How a job reaches the server, decided when the job is built: the worker opens its one transfer
// channel from it (transfer/transfer_channel.h). What a connection must be opened with (a TLS
// requirement, the certificate it must present) belongs here too.
struct ConnectionProfile {
    TransferMode mode = TransferMode::Ftp;
    FtpProfile ftp;
    Platform::GatewaySettings gateway;
};

// Everything a transfer needs, read on the user-interface thread at the moment it starts; the
// worker reads nothing of the screen after that.
struct TransferJob {
    int tag = 0;  // the starting button's tag: 0 downloads, 1 uploads, anything else does nothing
    ConnectionProfile connection;
    std::string directory;                     // the directory shown when the transfer started
    bool hasRow = false;                       // the current row, when the table has one
    bool rowIsDirectory = false;
    std::string rowName;
    std::vector<std::string> files;            // the upload's selection
    bool batch = false;                        // download batchFiles into folder, whatever the tag
    std::vector<BatchFile> batchFiles;         // the rows shown, in the order shown, directories too
    std::string folder;
    std::string batchProgressText;             // VEL_DOWNLOAD_LOTE (VEL_UPLOAD_PASTA for a folder)
    ExistingFiles existing = ExistingFiles::Replace;
    ListingReader readListing;                 // for the directories below the shown ones
    int connections = 1;                       // batch download and folder upload: in all, 1 to 4
    std::string uploadFolder;                  // a local folder rebuilt inside the shown directory
    // VEL_DOWNLOAD, VEL_UPLOAD, TRANSF_COMPLETA, TRANSF_CANCELADA, TRANSF_FALHOU
    std::array<std::string, 5> messages;

    TransferKind kind() const
    {
        if (batch)
            return TransferKind::BatchDownload;
        if (!uploadFolder.empty())
            return TransferKind::FolderUpload;
        return tag == 0 ? TransferKind::Download : tag == 1 ? TransferKind::Upload : TransferKind::Nothing;
    }
};

} // namespace Cli_Vop31601
