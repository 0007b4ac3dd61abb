#pragma once

#include "transfer/transfer_view.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace Cli_Vop31601 {

// Carries the worker's progress to the screen without ever waiting on the GUI thread: the worker
// stores the latest values and posts at most one pending update (and not more often than every
// 30 ms unless forced: an update inside that interval is applied when it ends); the GUI thread
// applies them in order: range, panel text, then position.
class ProgressReporter {
public:
    explicit ProgressReporter(ViewHandle view);

    void setMax(std::int64_t max);
    void setText(const std::string& text);
    void setPosition(std::int64_t position);
    // Posts the pending values: forced ones at once, others at most every 30 ms.
    void publish(bool force);

private:
    struct State {
        std::mutex mutex;
        ViewHandle view;  // used on the GUI thread only
        bool hasMax = false, hasText = false, hasPosition = false;
        std::int64_t max = 0, position = 0;
        std::string text;
        bool posted = false;
        std::chrono::steady_clock::time_point lastPost;
    };
    static void apply(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
};

} // namespace Cli_Vop31601
