#include "transfer/crew_queue.h"

#include <chrono>

namespace Cli_Vop31601 {

CrewQueue::CrewQueue(std::size_t fewFiles) : fewFiles_(fewFiles) {}

void CrewQueue::add(CrewTask task) { put(std::move(task), false); }

void CrewQueue::giveBack(CrewTask task) { put(std::move(task), true); }

void CrewQueue::put(CrewTask task, bool givenBack)
{
    {
        std::lock_guard lock(mutex_);
        if (task.isDirectory)
            directories_.push_back(std::move(task));
        else if (givenBack)
            files_.push_front(std::move(task));
        else
            files_.push_back(std::move(task));
        if (givenBack)
            --underWay_;
    }
    wake_.notify_all();
}

std::optional<CrewTask> CrewQueue::take(const std::function<bool()>& stop)
{
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stop())
            return std::nullopt;
        if (!files_.empty() && (files_.size() >= fewFiles_ || directories_.empty())) {
            CrewTask task = std::move(files_.front());
            files_.pop_front();
            ++underWay_;
            return task;
        }
        if (!directories_.empty()) {
            CrewTask task = std::move(directories_.back());
            directories_.pop_back();
            ++underWay_;
            return task;
        }
        if (underWay_ == 0) {
            wake_.notify_all();
            return std::nullopt;
        }
        wake_.wait_for(lock, std::chrono::milliseconds(50));
    }
}

void CrewQueue::finished()
{
    {
        std::lock_guard lock(mutex_);
        --underWay_;
    }
    wake_.notify_all();
}

std::size_t CrewQueue::waiting() const
{
    std::lock_guard lock(mutex_);
    return files_.size() + directories_.size();
}

std::vector<CrewTask> CrewQueue::drain()
{
    std::lock_guard lock(mutex_);
    std::vector<CrewTask> left(std::make_move_iterator(files_.begin()), std::make_move_iterator(files_.end()));
    for (auto& directory : directories_)
        left.push_back(std::move(directory));
    files_.clear();
    directories_.clear();
    return left;
}

void CrewQueue::wakeAll() { wake_.notify_all(); }

} // namespace Cli_Vop31601
