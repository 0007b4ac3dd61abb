#pragma once

#include <functional>

namespace Cli_Vop31601 {

class TransferError;

// How a transfer goes on after its connection dies: at most three more attempts, after pauses of
// 1, 2 and 4 s that hear the stop request. Only a lost connection (control or data) is worth one.
class ResumePolicy {
public:
    static constexpr int kAttempts = 3;

    explicit ResumePolicy(std::function<bool()> stopRequested);
    // After a failure: true once the pause before the next attempt has passed; false when the
    // failure is not a lost connection, the attempts are spent, or a stop came during the pause.
    bool again(const TransferError& error);
    // The attempt now due (1-based), for the log.
    int attempt() const { return used_; }

private:
    std::function<bool()> stopRequested_;
    int used_ = 0;
};

} // namespace Cli_Vop31601
