#pragma once

#include "transfer/crew_queue.h"
#include "transfer/transfer_job.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace Cli_Vop31601 {

class CrewProgress;
class TransferCrew;
struct CrewLane;

// The folder upload: a local folder rebuilt inside the shown directory, its directories made with
// MKD (one that is there already is used as it is) before their files go up. A name the server
// cannot be given, a folder that cannot be read, a file that fails: each is noted and the rest goes
// on. A file cut short by a stop is removed from the server.
class FolderUpload {
public:
    FolderUpload(const TransferJob& job, TransferCrew& crew, CrewProgress& progress);

    // The chosen folder itself, the first task.
    CrewTask top() const;
    void perform(CrewLane& lane, const CrewTask& task);

    int written() const { return written_; }
    std::int64_t bytes() const { return bytes_; }

private:
    void walk(CrewLane& lane, const CrewTask& directory);
    // Makes the directory on the server, or finds it there; false (noted) when neither.
    bool makeRemote(CrewLane& lane, const CrewTask& directory);
    void send(CrewLane& lane, const CrewTask& file);
    std::string localPath(const std::string& relative) const;

    const TransferJob& job_;
    TransferCrew& crew_;
    CrewProgress& progress_;
    const std::string base_;  // the folder that holds the chosen one
    std::atomic<int> written_{0};
    std::atomic<std::int64_t> bytes_{0};
};

// Why a local name cannot be a name on the server (a line break, a path separator, a character the
// wire's Windows-1252 cannot hold), or nothing when it can.
std::optional<std::string> unsendableName(const std::string& name);

} // namespace Cli_Vop31601
