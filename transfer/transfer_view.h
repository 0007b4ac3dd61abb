#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <optional>
#include <string>

namespace Cli_Vop31601 {

// The latest progress values; the view applies the range, then the panel text, then the position.
struct ProgressUpdate {
    std::optional<std::int64_t> max;
    std::optional<std::string> text;
    std::optional<std::int64_t> position;
};

// What the worker asks of the screen. Every call runs on the user-interface thread, the worker
// waiting for it (through Synchronize) except for progress, which never makes the worker wait.
class TransferView {
public:
    virtual ~TransferView() = default;

    // The save dialog, offering the bare remote name; the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> chooseSaveTarget(const std::string& offeredName) = 0;
    // The worker's state: ready (enable and idle) first clears the busy mark; then the controls, and
    // the reload of the shown directory unless the screen is closing.
    virtual void enterTransferState(bool enable, bool idle) = 0;
    // Busy, as enterTransferState(false, false) is, without the reload.
    virtual void enterBusyState() { enterTransferState(false, false); }
    virtual void showProgress(const ProgressUpdate& update) = 0;
    // A batch download's closing report: the files that failed or were skipped, one line each.
    virtual void reportBatchFailures(const std::string& /*text*/) {}
    // The worker has finished: a screen closed meanwhile may now be released.
    virtual void transferEnded() = 0;
};

// The view as the worker holds it: the screen may go away while the worker runs. Read on the
// user-interface thread only.
class ViewHandle {
public:
    ViewHandle() = default;
    template <class Screen>
    explicit ViewHandle(Screen* screen) : guard_(screen), view_(screen)
    {
    }
    // A view that a screen holds: it lives as long as that screen.
    ViewHandle(QObject* screen, TransferView* view) : guard_(screen), view_(view) {}
    TransferView* get() const { return guard_ ? view_ : nullptr; }

private:
    QPointer<QObject> guard_;
    TransferView* view_ = nullptr;
};

} // namespace Cli_Vop31601
