// The screen's three states (ready, busy, unavailable), Abort and the connection lamp.
#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/glyphs.h"

#include "platform/ftp/id_ftp.h"

#include "platform/widgets/status_bar.h"

#include <QPainter>
#include <QTableView>

namespace Cli_Vop31600 {

void TfrmCtrlArqXMLNFe::ControlaComponentes(bool enable, bool idle)
{
    boHabilitado = enable;
    boProcessoParado = idle;
    btnHome->setEnabled(enable);
    btnNivelAcima->setEnabled(enable);
    btnAtualizar->setEnabled(enable);
    sbtConfirma->setEnabled(enable);
    btnUpload->setEnabled(enable);
    btnNovoDir->setEnabled(enable);
    btnExcluir->setEnabled(enable);
    dbgArquivos->setEnabled(enable);
    // A failed reload during a transfer passes "idle"; Abort stays available while the worker runs.
    btnAbortar->setEnabled(!enable && (!idle || transferLink.active()));
}

void TfrmCtrlArqXMLNFe::btnAbortarClick(QObject* /*sender*/)
{
    transferLink.terminate();
}

void TfrmCtrlArqXMLNFe::StatusBarDrawPanel(QPainter& canvas, const QRect& rect)
{
    canvas.fillRect(rect, StatusBar->palette().window());
    const QPixmap& lamp = ImageList[InImagemConexao == 1 ? 1 : 0];
    canvas.drawPixmap(rect.left() + 2, rect.top() - 1, lamp);
    if (InImagemConexao == 1 && IdFTP->Encrypted()) {
        static const QPixmap padlock = padlockPixmap();
        canvas.drawPixmap(rect.left() + 2 + lamp.width() / lamp.devicePixelRatio() + 2, rect.top() - 1, padlock);
    }
}

} // namespace Cli_Vop31600
