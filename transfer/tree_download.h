#pragma once

#include "transfer/crew_queue.h"
#include "transfer/transfer_job.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace Cli_Vop31601 {

class CrewProgress;
class TransferChannel;
class TransferCrew;
struct CrewLane;

// The batch download: the rows shown, the directories among them walked (listed as the screen
// lists, rebuilt under the chosen folder), each file fetched into a temporary file and put in place
// whole with the server's time. A directory that cannot be listed, a file that fails, a name that
// cannot be a local file: each is noted and the rest goes on. A full disk stops the job.
class TreeDownload {
public:
    TreeDownload(const TransferJob& job, TransferCrew& crew, CrewProgress& progress);

    // The shown directory itself, the first task.
    static CrewTask top();
    // One task, on the lane's connection.
    void perform(CrewLane& lane, const CrewTask& task);

    int written() const { return written_; }
    std::int64_t bytes() const { return bytes_; }
    int kept() const { return kept_; }

private:
    void walk(CrewLane& lane, const CrewTask& directory);
    void walkShown(CrewLane& lane, const CrewTask& top);
    void fetch(CrewLane& lane, const CrewTask& file);
    // A listed entry: a task, a failure, or a file left as it is.
    void admit(const BatchFile& entry, const CrewTask& parent, TransferChannel& channel);
    // Whether the file here stays as it is, as the job's choice for existing files says.
    bool keepsLocal(const std::string& target, const BatchFile& entry, std::time_t stamp, TransferChannel& channel);
    std::string localPath(const std::string& relative) const;

    const TransferJob& job_;
    TransferCrew& crew_;
    CrewProgress& progress_;
    const std::time_t started_;
    std::atomic<int> written_{0};
    std::atomic<std::int64_t> bytes_{0};
    std::atomic<int> kept_{0};
};

} // namespace Cli_Vop31601
