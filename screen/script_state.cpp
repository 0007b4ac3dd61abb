#include "screen/script_state.h"

#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/details/nfe_details.h"
#include "screen/find/find_bar.h"

#include "platform/dataset/dataset_model.h"
#include "platform/ftp/id_ftp.h"
#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTableView>

namespace Cli_Vop31600 {

ScreenScripting::ScreenScripting(const TfrmCtrlArqXMLNFe& form) : form_(form)
{
    Mrv::registerScriptedScreen(&form, this);
}

ScreenScripting::~ScreenScripting() { Mrv::unregisterScriptedScreen(&form_); }

bool ScreenScripting::transferRunning() const { return form_.transferRunning(); }

QVariantMap ScreenScripting::scriptState() const
{
    QVariantMap state;
    state["caption"] = form_.windowTitle();
    state["path"] = form_.edtDiretorio->text();

    QVariantList rows;
    const QAbstractItemModel* model = form_.dbgArquivos->model();
    const int sizeColumn = 2;
    for (int row = 0; row < model->rowCount(); ++row) {
        QVariantMap fields = model->data(model->index(row, 0), Qt::UserRole).toMap();
        fields["size_text"] = model->data(model->index(row, sizeColumn), Qt::DisplayRole).toString();
        rows.append(fields);
    }
    state["rows"] = rows;
    state["filter"] = form_.panLocalizar->state();
    state["current"] = form_.cdsArquivos.IsEmpty() ? QVariant() : QVariant(form_.cdsArquivos.RecNo() - 1);

    QVariantMap enabled;
    for (const QAbstractButton* button : form_.findChildren<QAbstractButton*>())
        if (!button->objectName().isEmpty() && !button->objectName().startsWith(QLatin1String("qt_")))
            enabled[button->objectName()] = button->isEnabled();
    enabled[form_.dbgArquivos->objectName()] = form_.dbgArquivos->isEnabled();
    state["enabled"] = enabled;

    QVariantList status;
    for (int panel = 0; panel < form_.StatusBar->PanelCount(); ++panel)
        status.append(form_.StatusBar->PanelText(panel));
    state["status"] = status;

    state["progress"] = QVariantMap{{"max", QVariant::fromValue<qlonglong>(form_.ProgressBar->Max())},
                                    {"position", QVariant::fromValue<qlonglong>(form_.ProgressBar->Position())},
                                    {"in_status_bar", form_.ProgressBar->parentWidget() == form_.StatusBar}};
    state["lamp"] = form_.InImagemConexao;
    const auto tls = form_.IdFTP ? form_.IdFTP->TlsInfo() : std::nullopt;
    state["tls"] = tls ? QVariant(QVariantMap{{"protocol", QString::fromStdString(tls->protocol)},
                                              {"cipher", QString::fromStdString(tls->cipher)},
                                              {"fingerprint", QString::fromStdString(tls->fingerprint)}})
                       : QVariant();
    // Where the screen's window lies on the display (the screenshots are cut from it).
    const QWidget* frame = form_.subWindow() ? static_cast<const QWidget*>(form_.subWindow()) : &form_;
    const QPoint origin = frame->mapToGlobal(QPoint(0, 0));
    state["window"] = QVariantList{origin.x(), origin.y(), frame->width(), frame->height()};
    const std::string index = form_.cdsArquivos.IndexName();
    state["sort"] = QVariantMap{{"index", QString::fromStdString(index)},
                                {"descending", !index.empty() && form_.cdsArquivos.IndexDescending(index)}};
    return state;
}

QVariant ScreenScripting::detailsState() const { return form_.details_ ? form_.details_->state() : QVariant(); }

} // namespace Cli_Vop31600
