#pragma once

#include "platform/common/platform_export.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>

namespace Platform {

// Lets a window repaint at most once per frame while it is active. Qt paints a window on the first
// pass of the event loop after any change, so a screen that reloads after every one of hundreds of
// small files a second paints hundreds of times, each repaint re-laying out every visible cell. An
// update request that comes within a frame of the last paint is held and delivered when the frame
// ends, and never inside a wait of the screen's own client unless it was held for long: what the
// user sees lags by a frame or two. Inactive, it lets everything through.
class PLATFORM_API FramePacer : public QObject {
    Q_OBJECT
public:
    FramePacer(QWidget* window, QObject* parent, std::chrono::milliseconds frame = std::chrono::milliseconds(16));
    ~FramePacer() override;

    // Deactivating delivers a held request at once.
    void setActive(bool active);
    QWidget* watched() const { return window_; }
    // Update requests held since the pacer was made (for the tests).
    int held() const { return held_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr std::chrono::milliseconds kLongestHold{100};
    static constexpr std::chrono::milliseconds kWaitPoll{2};

    bool due() const;
    void rearm();
    void onFrameEnd();
    void deliver();

    QPointer<QWidget> window_;
    std::chrono::milliseconds frame_;
    QElapsedTimer lastPaint_;
    QElapsedTimer heldSince_;
    QTimer frameEnd_;
    bool active_ = false;
    bool pending_ = false;
    bool delivering_ = false;
    int held_ = 0;
};

} // namespace Platform
