#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace Cli_Vop31601 {

class PartialFile;
class TransferChannel;
class TransferError;

// What a transfer that goes on after a lost connection needs of its caller.
struct ResumeContext {
    std::function<bool()> stopRequested;
    std::function<void(const std::string&)> log;  // the protocol log's line about a resume
    // Asked when a new session could not be opened: true ends the attempts at once (the server takes
    // no more sessions, and another connection of the job takes the work over). None: never.
    std::function<bool(const TransferError&)> giveUp;
};

// Fetches remoteName of the channel's directory into partial: its size first (SIZE), then the data;
// after a lost connection, up to ResumePolicy's attempts over a new session, going on from the bytes
// there (REST) when fromWhereItStopped and the file has the same size, else from its start (a small
// file is not worth the REST). onSize
// hears each size announced. Commits and returns true unless a stop came meanwhile. Throws what the
// channel throws, and Platform::LocalFileError when the file cannot be put in place.
bool fetchResuming(TransferChannel& channel, const std::string& remoteName, PartialFile& partial,
                   const ResumeContext& context, bool fromWhereItStopped,
                   const std::function<void(std::int64_t)>& onSize = {});

// Stores the local file as name in the channel's directory; after a lost connection, over a new
// session, appending (APPE) to what reached the server when that is a beginning of the file.
void sendResuming(TransferChannel& channel, const std::string& localPath, const std::string& name,
                  const ResumeContext& context);

// Opens the channel again after a lost connection, as ResumePolicy allows: false when a stop came or
// the attempts were spent; throws error itself when the context gives up on it.
bool reopenAfter(TransferChannel& channel, const TransferError& error, const ResumeContext& context);

} // namespace Cli_Vop31601
