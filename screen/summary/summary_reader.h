#pragma once

#include "screen/summary/summary_connection.h"

#include "nfe/directory_summary.h"
#include "platform/common/thread.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Cli_Vop31600 {

struct ListedFile {
    std::string name;
    std::int64_t size = -1;
    std::string modified;  // as the listing gave it
};

// What the reader has done so far, handed to the user-interface thread in pieces.
struct SummaryProgressStep {
    std::vector<Nfe::FileFacts> newFacts;  // read since the last step, in order
    int done = 0, total = 0;
    bool finished = false;
    std::optional<QString> failure;  // why the reading stopped early (a lost connection)
};

// Reads every listed file over a connection of its own on a worker thread: each file taken from the
// cache or read into memory (up to kMaxBytes), its facts made (signature checked) there too. It
// reports at most every kReportInterval, and once more at its end, by calling notify on the
// user-interface thread (held back while a screen client waits there).
class SummaryReader : public Platform::TThread {
public:
    static constexpr std::int64_t kMaxBytes = 5 * 1024 * 1024;
    static constexpr std::chrono::milliseconds kReportInterval{50};

    // Starts the reader; it owns itself, the caller keeps what it returns only to talk to it.
    static std::shared_ptr<SummaryReader> start(SummarySource source, std::vector<ListedFile> files,
                                                std::function<void()> notify);

    // The next piece of progress (user-interface thread).
    SummaryProgressStep take();
    // Abort: the current read ends within a wait slice; what was read stays.
    void stop();

protected:
    void Execute() override;

private:
    SummaryReader(SummarySource source, std::vector<ListedFile> files, std::function<void()> notify);
    Nfe::FileFacts readOne(SummaryConnection& connection, const ListedFile& file);
    void report(bool force);

    const SummarySource source_;
    const std::vector<ListedFile> files_;
    const std::function<void()> notify_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> notifyPending_{false};
    std::chrono::steady_clock::time_point lastReport_;

    std::mutex mutex_;
    SummaryProgressStep pending_;  // guarded by mutex_
};

} // namespace Cli_Vop31600
