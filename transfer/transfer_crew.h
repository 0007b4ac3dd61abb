#pragma once

#include "transfer/crew_queue.h"
#include "transfer/resuming_transfer.h"
#include "transfer/transfer_channel.h"

#include <atomic>
#include <list>
#include <thread>

namespace Cli_Vop31601 {

class CrewProgress;

// One connection of a crew, with its own log-in and its own client.
struct CrewLane {
    int index = 0;  // 0: the worker's own connection
    std::string logName;
    std::unique_ptr<Platform::TIdFTP> ownFtp;
    std::unique_ptr<Platform::TIdHTTP> ownHttp;
    std::unique_ptr<Platform::TIdFTP>* ftp = &ownFtp;  // the worker's own clients for lane 0
    std::unique_ptr<Platform::TIdHTTP>* http = &ownHttp;
    std::unique_ptr<TransferChannel> channel;
    std::atomic<bool> cleaning{false};  // removing what a stop left: the stop lets its waits run
    ~CrewLane();
};

// The connections of one batch download or folder upload sharing its work: the worker's own (on the
// worker's thread) and, while more work waits than hands, further ones on threads of their own, up
// to the job's count, each logged in as the job's profile says (same TLS, same accepted certificate,
// same mode). A server that takes no more sessions lowers the count for the rest of the job; a
// connection that dies is opened again, and when it cannot be, its task goes back to the others.
// Every connection hears the stop request: a running transfer is aborted at its next block, a wait
// on the server given up 100 ms after the request.
class TransferCrew {
public:
    using Perform = std::function<void(CrewLane&, const CrewTask&)>;
    struct Plan {
        ConnectionProfile profile;
        std::string directory;
        int connections = 1;
        std::function<bool()> stopRequested;
        std::unique_ptr<Platform::TIdFTP>& ownFtp;
        std::unique_ptr<Platform::TIdHTTP>& ownHttp;
    };
    TransferCrew(Plan plan, CrewProgress& progress);
    ~TransferCrew();
    TransferCrew(const TransferCrew&) = delete;
    TransferCrew& operator=(const TransferCrew&) = delete;

    // Opens the worker's own connection; throws what the channel throws.
    void open();
    // Runs every task, the worker's connection on this thread; returns when all are done or the
    // job stopped, every connection closed.
    void run(const Perform& perform);
    // From perform (any thread) or before run.
    void add(CrewTask task);
    void fail(const std::string& relative, const std::string& reason);
    // Ends the whole job at once (a local disk that is full): no further task begins.
    void halt(const std::string& cause);
    bool stopping() const;
    ResumeContext resumeContext(CrewLane& lane);
    void log(const CrewLane& lane, const std::string& text) const;

    std::vector<std::pair<std::string, std::string>> failures() const;
    std::optional<std::string> haltCause() const;

private:
    void laneLoop(CrewLane& lane);
    // Runs the task, opening the connection again after it was lost; false when it cannot be.
    bool performResuming(CrewLane& lane, const CrewTask& task, const Perform& perform);
    void retire(CrewLane& lane, std::optional<CrewTask> task, const std::string& cause);
    void grow();
    void runExtra(CrewLane& lane);
    std::unique_ptr<TransferChannel> channelFor(CrewLane& lane);
    std::string laneName(int index) const;
    // Throws to end a wait on the server once a stop has been waiting 100 ms.
    void giveUpWaitingIfStopped(const CrewLane& lane);

    Plan plan_;
    CrewProgress& progress_;
    CrewQueue queue_;
    const Perform* perform_ = nullptr;
    mutable std::mutex mutex_;
    std::list<CrewLane> lanes_;  // stable addresses: each lane's thread holds its own
    std::vector<std::thread> threads_;
    int allowed_;
    int alive_ = 0;
    bool running_ = false;
    std::vector<std::pair<std::string, std::string>> failures_;
    std::optional<std::string> haltCause_;
    std::atomic<bool> halted_{false};
    std::atomic<std::int64_t> stopSeenNs_{0};
};

} // namespace Cli_Vop31601
