#include "transfer/resume_policy.h"

#include "transfer/transfer_channel.h"

#include <chrono>
#include <thread>

namespace Cli_Vop31601 {

ResumePolicy::ResumePolicy(std::function<bool()> stopRequested) : stopRequested_(std::move(stopRequested)) {}

bool ResumePolicy::again(const TransferError& error)
{
    const bool lost = error.kind() == TransferError::Kind::ConnectionLost || error.kind() == TransferError::Kind::DataLost;
    if (!lost || used_ >= kAttempts || stopRequested_())
        return false;
    const auto pause = std::chrono::seconds(1 << used_);
    ++used_;
    const auto until = std::chrono::steady_clock::now() + pause;
    while (std::chrono::steady_clock::now() < until) {
        if (stopRequested_())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return !stopRequested_();
}

} // namespace Cli_Vop31601
