#include "bench/transfer/gui_probe.h"

#include <QProgressBar>

#include <algorithm>
#include <ctime>

namespace BenchSupport {
namespace {

std::int64_t threadCpuNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

double GuiFigures::barUpdatesPerSecond() const
{
    return barWindowSeconds > 0 ? static_cast<double>(barUpdates) / barWindowSeconds : 0.0;
}

GuiProbe::GuiProbe(QProgressBar* bar, int tickMs)
{
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(tickMs);
    connect(&timer_, &QTimer::timeout, this, &GuiProbe::tick);
    connect(bar, &QProgressBar::valueChanged, this, &GuiProbe::barChanged);
}

void GuiProbe::start()
{
    figures_ = {};
    barChanges_.clear();
    clock_.start();
    lastTickNs_ = 0;
    cpuStartNs_ = threadCpuNs();
    running_ = true;
    timer_.start();
}

GuiFigures GuiProbe::stop()
{
    tick();  // a block at the very end counts too
    running_ = false;
    timer_.stop();
    figures_.seconds = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    figures_.cpuMs = static_cast<double>(threadCpuNs() - cpuStartNs_) / 1e6;
    summariseBarChanges(barChanges_, figures_);
    return figures_;
}

void GuiProbe::tick()
{
    if (!running_)
        return;
    const std::int64_t now = clock_.nsecsElapsed();
    figures_.maxTickGapMs = std::max(figures_.maxTickGapMs, static_cast<double>(now - lastTickNs_) / 1e6);
    lastTickNs_ = now;
    ++figures_.ticks;
}

void GuiProbe::barChanged(int value)
{
    if (running_)
        barChanges_.emplace_back(clock_.nsecsElapsed(), value);
}

void summariseBarChanges(const std::vector<std::pair<std::int64_t, int>>& changes, GuiFigures& figures)
{
    std::size_t count = changes.size();
    if (count > 1 && changes.back().second == 0)
        --count;
    figures.barUpdates = static_cast<std::int64_t>(count);
    figures.barWindowSeconds = 0;
    figures.maxBarGapMs = 0;
    if (count < 2)
        return;
    figures.barWindowSeconds = static_cast<double>(changes[count - 1].first - changes[0].first) / 1e9;
    for (std::size_t i = 1; i < count; ++i)
        figures.maxBarGapMs = std::max(figures.maxBarGapMs, static_cast<double>(changes[i].first - changes[i - 1].first) / 1e6);
}

} // namespace BenchSupport
