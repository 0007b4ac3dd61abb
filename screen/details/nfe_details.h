#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <cstdint>
#include <functional>

class QAction;
class QMenu;

namespace Cli_Vop31600 {

class NfeDetailsWindow;
class RemoteBrowser;
class TfrmCtrlArqXMLNFe;

// "Detalhes da NF-e" for the screen's current row: the action (Ctrl+I), the grid's menu entry, and
// the window that follows the current row. The file is read through the screen's own browser on the
// user-interface thread, like a listing, at most one at a time, into memory only.
class NfeDetails : public QObject {
    Q_OBJECT
public:
    static constexpr std::int64_t kMaxBytes = 5 * 1024 * 1024;
    static constexpr int kDebounceMs = 60;

    // browser: the screen's browser as it is at the moment of a read (none before the settings came).
    NfeDetails(TfrmCtrlArqXMLNFe& form, std::function<RemoteBrowser*()> browser);

    QAction* action() const { return action_; }
    // Opens (or raises) the window and shows the current row at once.
    void open();
    // The current row moved: an open window shows the new row once the keys rest for kDebounceMs.
    void rowChanged();
    // The driver's "details": null while the window is closed, else what it shows.
    QVariant state() const;
    void addMenuEntries(QMenu& menu) const;

private:
    void placeBesideTheScreen();
    struct Row {
        QString directory, name;
        std::int64_t size = -1;
        bool isDirectory = false;
        bool operator==(const Row&) const = default;
    };
    Row currentRow() const;
    void showCurrentRow(bool force);
    // Whether the screen's client may be used now: no call of the browser under way (a wait that
    // serves events), nor a nested event loop (a prompt) inside a command of the screen.
    bool clientFree() const;
    QString readFailure(const Row& row, const std::exception& error) const;

    TfrmCtrlArqXMLNFe& form_;
    std::function<RemoteBrowser*()> browser_;
    QAction* action_ = nullptr;
    NfeDetailsWindow* window_ = nullptr;
    QTimer debounce_;
    bool reading_ = false;
    int outerLoopLevel_ = 0;
    Row shown_;
};

} // namespace Cli_Vop31600
