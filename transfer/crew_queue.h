#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Cli_Vop31601 {

// One piece of work of a batch download or folder upload: a directory to walk, or a file to move.
struct CrewTask {
    bool isDirectory = false;
    std::string relative;   // '/'-separated below the job's top: where it comes from and lands
    std::int64_t size = -1;
    std::time_t stamp = 0;  // the listing's time of a remote file, 0 when unknown
    int depth = 0;          // the shown directory is 0, its entries 1
    // What identifies each directory walked above this one (a link loop leads back to one of them).
    std::shared_ptr<const std::vector<std::uint64_t>> above;
};

// The work a crew's connections share. Files go first; a directory is walked only while few files
// wait, so that a big tree is walked as it goes and never held whole. Directories are taken last
// in, first out: depth first.
class CrewQueue {
public:
    explicit CrewQueue(std::size_t fewFiles);

    void add(CrewTask task);
    // A task taken and not done (its connection is gone): first in line again for the others.
    void giveBack(CrewTask task);
    // The next task; waits while none is ready and a task under way may still add some. Nothing
    // once all is done, or when stop() holds (asked every 50 ms).
    std::optional<CrewTask> take(const std::function<bool()>& stop);
    // The task taken last by the caller has ended.
    void finished();
    std::size_t waiting() const;
    // Everything not yet taken, for the report when no connection is left.
    std::vector<CrewTask> drain();
    void wakeAll();

private:
    void put(CrewTask task, bool givenBack);

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<CrewTask> files_;
    std::vector<CrewTask> directories_;
    std::size_t fewFiles_;
    int underWay_ = 0;
};

} // namespace Cli_Vop31601
