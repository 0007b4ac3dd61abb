// The screen's state as the script driver dumps it.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/details/nfe_details.h"
#include "screen/find/find_bar.h"

#include "platform/dataset/dataset_model.h"
#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTableView>

namespace Cli_Vop31600 {

QVariantMap TfrmCtrlArqXMLNFe::scriptState() const
{
    QVariantMap state;
    state["caption"] = windowTitle();
    state["path"] = edtDiretorio->text();

    QVariantList rows;
    const QAbstractItemModel* model = dbgArquivos->model();
    const int sizeColumn = 2;
    for (int row = 0; row < model->rowCount(); ++row) {
        QVariantMap fields = model->data(model->index(row, 0), Qt::UserRole).toMap();
        fields["size_text"] = model->data(model->index(row, sizeColumn), Qt::DisplayRole).toString();
        rows.append(fields);
    }
    state["rows"] = rows;
    state["filter"] = panLocalizar->state();
    state["current"] = cdsArquivos.IsEmpty() ? QVariant() : QVariant(cdsArquivos.RecNo() - 1);

    QVariantMap enabled;
    for (const QAbstractButton* button : findChildren<QAbstractButton*>())
        if (!button->objectName().isEmpty() && !button->objectName().startsWith(QLatin1String("qt_")))
            enabled[button->objectName()] = button->isEnabled();
    enabled[dbgArquivos->objectName()] = dbgArquivos->isEnabled();
    state["enabled"] = enabled;

    QVariantList status;
    for (int panel = 0; panel < StatusBar->PanelCount(); ++panel)
        status.append(StatusBar->PanelText(panel));
    state["status"] = status;

    state["progress"] = QVariantMap{{"max", QVariant::fromValue<qlonglong>(ProgressBar->Max())},
                                    {"position", QVariant::fromValue<qlonglong>(ProgressBar->Position())},
                                    {"in_status_bar", ProgressBar->parentWidget() == StatusBar}};
    state["lamp"] = InImagemConexao;
    // Where the screen's window lies on the display (the screenshots are cut from it).
    const QWidget* frame = subWindow() ? static_cast<const QWidget*>(subWindow()) : this;
    const QPoint origin = frame->mapToGlobal(QPoint(0, 0));
    state["window"] = QVariantList{origin.x(), origin.y(), frame->width(), frame->height()};
    const std::string index = cdsArquivos.IndexName();
    state["sort"] = QVariantMap{{"index", QString::fromStdString(index)},
                                {"descending", !index.empty() && cdsArquivos.IndexDescending(index)}};
    return state;
}

QVariant TfrmCtrlArqXMLNFe::detailsState() const { return details_ ? details_->state() : QVariant(); }

} // namespace Cli_Vop31600
