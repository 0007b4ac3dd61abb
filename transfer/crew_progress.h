#pragma once

#include "transfer/transfer_job.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace Cli_Vop31601 {

class ProgressReporter;

// The progress of a job over several connections: the bar over the bytes of every file found so far
// (the total once the walk is over), the status "files done of files found" with the speed of all
// connections together. Each connection reports its running file from its own thread.
class CrewProgress {
public:
    // text: the status with three "%s": the speed, the files done, the files found.
    CrewProgress(ProgressReporter& reporter, std::string text);

    void found(std::int64_t bytes);
    // The bytes of the lane's running file so far (0 when it ended without being done).
    void carried(int lane, std::int64_t bytes);
    void fileDone(int lane, std::int64_t bytes);
    // Posts the values; forced ones at once, the others at the reporter's pace.
    void show(bool force);

    std::int64_t filesDone() const { return filesDone_; }
    std::int64_t bytesDone() const { return bytesDone_; }

private:
    ProgressReporter& reporter_;
    const std::string text_;
    const std::chrono::steady_clock::time_point start_;
    std::atomic<std::int64_t> filesFound_{0}, filesDone_{0}, bytesFound_{0}, bytesDone_{0};
    std::array<std::atomic<std::int64_t>, kMaxConnections> carried_{};
};

} // namespace Cli_Vop31601
