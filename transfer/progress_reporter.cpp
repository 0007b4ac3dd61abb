#include "transfer/progress_reporter.h"

#include "platform/common/thread.h"
#include "platform/common/wait_hook.h"

#include <QCoreApplication>
#include <QTimer>

namespace Cli_Vop31601 {

ProgressReporter::ProgressReporter(ViewHandle view) : state_(std::make_shared<State>()) { state_->view = view; }

void ProgressReporter::setMax(std::int64_t max)
{
    std::lock_guard lock(state_->mutex);
    state_->max = max;
    state_->hasMax = true;
}

void ProgressReporter::setText(const std::string& text)
{
    std::lock_guard lock(state_->mutex);
    state_->text = text;
    state_->hasText = true;
}

void ProgressReporter::setPosition(std::int64_t position)
{
    std::lock_guard lock(state_->mutex);
    state_->position = position;
    state_->hasPosition = true;
}

void ProgressReporter::publish(bool force)
{
    using namespace std::chrono_literals;
    constexpr auto interval = 30ms;
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard lock(state_->mutex);
        const auto now = std::chrono::steady_clock::now();
        // A forced update (start, end, failure) goes at once even past a pending one, so that it
        // reaches the screen before whatever the worker synchronizes next.
        if (state_->posted && !force)
            return;
        // Inside the interval the values still go, a little later: a burst followed by a pause
        // (a throttled or bursty link) must not leave the bar behind until the next block.
        if (!force && now - state_->lastPost < interval)
            delay = std::chrono::ceil<std::chrono::milliseconds>(state_->lastPost + interval - now);
        state_->posted = true;
        state_->lastPost = now + delay;
    }
    if (delay.count() == 0) {
        Platform::postToGuiThread([state = state_] { apply(state); });
        return;
    }
    Platform::postToGuiThread([state = state_, delay] {
        // The timer may fire inside a screen client's wait: the update still waits for its end.
        QTimer::singleShot(delay, QCoreApplication::instance(),
                           [state] { Platform::runOutsideGuiWaits([state] { apply(state); }); });
    });
}

void ProgressReporter::apply(const std::shared_ptr<State>& state)
{
    ProgressUpdate update;
    ViewHandle view;
    {
        std::lock_guard lock(state->mutex);
        if (state->hasMax)
            update.max = state->max;
        if (state->hasText)
            update.text = state->text;
        if (state->hasPosition)
            update.position = state->position;
        state->hasMax = state->hasText = state->hasPosition = false;
        state->posted = false;
        view = state->view;
    }
    if (TransferView* target = view.get())
        target->showProgress(update);
}

} // namespace Cli_Vop31601
