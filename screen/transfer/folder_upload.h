#pragma once

#include <QObject>

class QAction;
class QMenu;

namespace Cli_Vop31600 {

class TfrmCtrlArqXMLNFe;

// "Enviar pasta" (Ctrl+Shift+U and the grid's menu): the command that sends a local folder, with
// everything in it, into the shown directory. A keyboard and menu command: the designed buttons stay
// as they are.
class FolderUploadCommand : public QObject {
    Q_OBJECT
public:
    explicit FolderUploadCommand(TfrmCtrlArqXMLNFe& form);

    QAction* action() const { return action_; }
    void addMenuEntries(QMenu& menu, bool enabled) const;

private:
    TfrmCtrlArqXMLNFe& form_;
    QAction* action_ = nullptr;
};

} // namespace Cli_Vop31600
