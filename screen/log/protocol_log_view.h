#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>

class QAction;
class QPlainTextEdit;
class QWidget;

namespace Cli_Vop31600 {

// "Log de protocolo" (Ctrl+L): a read-only window with this session's protocol log (every command
// and reply of the screen's and the transfers' connections), for support. It follows the log while
// open, at most twice a second; it changes nothing of the screen.
class ProtocolLogView : public QObject {
    Q_OBJECT
public:
    explicit ProtocolLogView(QWidget& form);

    QAction* action() const { return action_; }
    void open();
    bool isOpen() const;

private:
    void refresh();

    QWidget& form_;
    QAction* action_ = nullptr;
    QPointer<QWidget> window_;
    QPlainTextEdit* text_ = nullptr;
    QTimer follow_;
    std::uint64_t shown_ = 0;  // lines written when the window was last filled
};

} // namespace Cli_Vop31600
