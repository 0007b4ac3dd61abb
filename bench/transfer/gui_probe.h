#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <vector>

class QProgressBar;

// Watches the GUI thread from inside it while something runs: a precise timer ticks every few
// milliseconds and the longest gap between ticks is how long the thread was kept from its events;
// the progress bar's value changes are timed as the user sees them.
namespace BenchSupport {

struct GuiFigures {
    double seconds = 0;            // from start() to stop()
    double cpuMs = 0;              // the GUI thread's own CPU time meanwhile (its share of the cores)
    double maxTickGapMs = 0;       // longest time between two timer ticks
    std::int64_t ticks = 0;
    std::int64_t barUpdates = 0;   // value changes of the progress bar, the final reset excluded
    double barWindowSeconds = 0;   // from the first to the last of those changes
    double maxBarGapMs = 0;        // longest time between two of them
    double barUpdatesPerSecond() const;
};

class GuiProbe : public QObject {
    Q_OBJECT
public:
    explicit GuiProbe(QProgressBar* bar, int tickMs = 5);

    void start();
    GuiFigures stop();

private:
    void tick();
    void barChanged(int value);

    QTimer timer_;
    QElapsedTimer clock_;
    bool running_ = false;
    std::int64_t lastTickNs_ = 0;
    std::int64_t cpuStartNs_ = 0;
    GuiFigures figures_;
    std::vector<std::pair<std::int64_t, int>> barChanges_;  // (ns since start, value)
};

// The figures of a list of progress-bar changes (ns since start, value): a change to 0 after other
// values is the bar's reset at the end and is not an update the user reads.
void summariseBarChanges(const std::vector<std::pair<std::int64_t, int>>& changes, GuiFigures& figures);

} // namespace BenchSupport
