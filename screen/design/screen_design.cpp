#include "screen/design/screen_design.h"

#include "screen/ctrl_arq_xml_nfe.h"
#include "screen/find/find_bar.h"
#include "screen/glyphs.h"
#include "screen/listing_parser.h"
#include "screen/message_table.h"
#include "screen/screen_commands.h"

#include "mrv/net_connection.h"
#include "platform/dataset/dataset_model.h"
#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"
#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableView>
#include <QVBoxLayout>

namespace Cli_Vop31600 {
namespace {

const QStringList gridColumns{"DSDTHRMODIFICACAO", "DSTIPO", "FLTAMANHO", "DSNOME"};
const int gridWidths[] = {100, 40, 175, 500};

// Enter on a row does what a double-click does (opens a directory or downloads a file); Esc closes
// an open find bar.
class GridKeys final : public QObject {
public:
    explicit GridKeys(TfrmCtrlArqXMLNFe& form) : QObject(form.dbgArquivos), form_(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            form_.clientWait.runGuarded([this] { form_.dbgArquivosDblClick(form_.dbgArquivos); });
            return true;
        }
        if (key->key() == Qt::Key_Escape && form_.panLocalizar->isVisible()) {
            form_.panLocalizar->closeBar();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TfrmCtrlArqXMLNFe& form_;
};

void designGrid(TfrmCtrlArqXMLNFe& form)
{
    QTableView* grid = new QTableView(form.grbDadosRel);
    form.dbgArquivos = grid;
    grid->setObjectName(QStringLiteral("dbgArquivos"));
    // The design's column widths suit a small bitmap font; an 8-point, slightly condensed face keeps
    // the listed date and "<DIR>" whole in them.
    QFont cellFont = grid->font();
    cellFont.setPointSize(8);
    cellFont.setStretch(QFont::SemiCondensed);
    grid->setFont(cellFont);
    form.dtsArquivos = new Platform::DataSetGridLink(grid, form.cdsArquivos, gridColumns);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setShowGrid(false);
    grid->setWordWrap(false);
    grid->setTabKeyNavigation(true);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(18);
    grid->horizontalHeader()->setSectionsClickable(true);
    grid->horizontalHeader()->setHighlightSections(false);
    grid->horizontalHeader()->setStretchLastSection(false);
    QFont titleFont(QStringLiteral("MS Sans Serif"), 8);
    titleFont.setStyleHint(QFont::SansSerif);
    grid->horizontalHeader()->setFont(titleFont);
    for (int column = 0; column < gridColumns.size(); ++column)
        grid->setColumnWidth(column, gridWidths[column]);
}

void designCommandButtons(TfrmCtrlArqXMLNFe& form)
{
    for (const ScreenCommand& command : screenCommands()) {
        // Commands without a button have only their action. The base form made the Download button.
        if (!command.button)
            continue;
        Mrv::TButtonFlat*& button = form.*command.button;
        if (!button)
            button = new Mrv::TButtonFlat(command.place == CommandPlace::DirectoryBar ? form.panDiretorio
                                                                                      : form.panBotoes);
        button->setObjectName(QString::fromLatin1(command.buttonName));
        button->SetHint(commandHint(command));
        button->SetGlyph(glyphIcon(command.glyph));
        button->SetTag(command.tag);
        if (command.place == CommandPlace::DirectoryBar)
            button->setFixedSize(25, 25);
        else
            button->setGeometry(4, command.top, 52, 21);
    }
}

void designActions(TfrmCtrlArqXMLNFe& form)
{
    for (const ScreenCommand& command : screenCommands()) {
        auto* action = new QAction(QString::fromLatin1(command.actionName), &form);
        action->setObjectName(QString::fromLatin1(command.actionName));
        if (!command.shortcut.isEmpty())
            action->setShortcut(command.shortcut);
        // Only the active screen's shortcuts fire, and they stay live while the buttons are disabled.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        form.addAction(action);
        form.*command.action = action;
    }
}

void designDialogsAndClients(TfrmCtrlArqXMLNFe& form)
{
    form.savDownload = new Mrv::TSaveDialog(&form);
    form.savDownload->setObjectName(QStringLiteral("savDownload"));
    form.savDownload->Filter = "Todos os arquivos (*.*)|*.*";
    form.savDownload->OverwritePrompt = true;
    form.opdUpload = new Mrv::TOpenDialog(&form);
    form.opdUpload->setObjectName(QStringLiteral("opdUpload"));
    form.opdUpload->Filter = "Todos os arquivos (*.*)|*.*";
    form.opdUpload->AllowMultiSelect = true;

    form.netCtrlArqXMLNFe = new Mrv::TNetConnection(&form);
    form.netCtrlArqXMLNFe->setObjectName(QStringLiteral("netCtrlArqXMLNFe"));
    form.netCtrlArqXMLNFe->ServerName = "VOP31600.rdmCtrlArqXMLNFe";
    form.netCtrlArqXMLNFe->ThrowException = false;

    form.IdFTP = std::make_unique<Platform::TIdFTP>();
    form.IdHTTP = std::make_unique<Platform::TIdHTTP>();
}

// The grid's context menu, built afresh each time it opens.
void showGridMenu(TfrmCtrlArqXMLNFe& form, const QPoint& at)
{
    QMenu menu(&form);
    menu.setObjectName(QStringLiteral("mnuArquivos"));
    form.buildGridMenu(menu);
    menu.exec(form.dbgArquivos->viewport()->mapToGlobal(at));
}

} // namespace

void designScreen(TfrmCtrlArqXMLNFe& form)
{
    form.setObjectName(QStringLiteral("frmCtrlArqXMLNFe"));
    form.setWindowTitle(QStringLiteral("Controle de Arquivos XML da NF-e"));
    form.resize(920, 386);
    form.move(143, 172);
    form.lblCodTela->setText(QStringLiteral("VOP31600"));
    form.msgPadrao->SetLines(messageTableLines());

    auto* area = new QVBoxLayout(form.grbDadosRel);
    area->setContentsMargins(2, 2, 2, 2);
    area->setSpacing(2);

    form.panDiretorio = new QFrame(form.grbDadosRel);
    form.panDiretorio->setObjectName(QStringLiteral("panDiretorio"));
    form.panDiretorio->setFixedHeight(33);
    auto* bar = new QHBoxLayout(form.panDiretorio);
    bar->setContentsMargins(4, 4, 4, 4);
    bar->setSpacing(4);
    designCommandButtons(form);
    form.edtDiretorio = new QLineEdit(form.panDiretorio);
    form.edtDiretorio->setObjectName(QStringLiteral("edtDiretorio"));
    form.edtDiretorio->setEnabled(false);
    form.edtDiretorio->setFocusPolicy(Qt::NoFocus);
    form.edtDiretorio->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); color: palette(text); }"));
    bar->addWidget(form.btnHome);
    bar->addWidget(form.btnNivelAcima);
    bar->addWidget(form.edtDiretorio, 1);
    bar->addWidget(form.btnAtualizar);
    bar->addWidget(form.btnAbortar);
    area->addWidget(form.panDiretorio);

    // The file table: six persistent fields, the design index on DSNOME active.
    defineFileTableFields(form.cdsArquivos);
    form.cdsArquivosDSDTHRMODIFICACAO = &form.cdsArquivos.FieldByName("DSDTHRMODIFICACAO");
    form.cdsArquivosDSTIPO = &form.cdsArquivos.FieldByName("DSTIPO");
    form.cdsArquivosBOISDIRECTORY = &form.cdsArquivos.FieldByName("BOISDIRECTORY");
    form.cdsArquivosDSNOME = &form.cdsArquivos.FieldByName("DSNOME");
    form.cdsArquivosIDARQUIVO = &form.cdsArquivos.FieldByName("IDARQUIVO");
    form.cdsArquivosFLTAMANHO = &form.cdsArquivos.FieldByName("FLTAMANHO");

    designGrid(form);
    area->addWidget(form.dbgArquivos, 1);
    form.panLocalizar = new FindBar(form.cdsArquivos, "DSNOME", form.grbDadosRel);
    form.panLocalizar->leaveFocus = [&form] { form.dbgArquivos->setFocus(Qt::OtherFocusReason); };
    area->addWidget(form.panLocalizar);

    form.StatusBar = new Platform::TStatusBar(form.grbDadosRel);
    form.StatusBar->setObjectName(QStringLiteral("StatusBar"));
    form.StatusBar->AddPanel(200);
    form.StatusBar->AddPanel(620);
    form.StatusBar->AddPanel(50, true);
    area->addWidget(form.StatusBar);

    // Designed in the group box; FormShow moves it into the first status panel.
    form.ProgressBar = new Platform::TProgressBar(form.grbDadosRel);
    form.ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    form.ProgressBar->setGeometry(8, 304, 199, 17);
    form.ProgressBar->SetMax(100);

    form.ImageList = {lampPixmap(false), lampPixmap(true)};

    form.sbtConfirma->setEnabled(false);
    form.sbtCancel->SetGlyph(glyphIcon(Glyph::Cancel));
    form.sbtCancel->setGeometry(4, 102, 52, 21);

    designDialogsAndClients(form);
    // The grid takes the focus for the form, so the screen's shortcuts always have a focus inside it.
    form.setFocusProxy(form.dbgArquivos);
    designActions(form);
}

void bindScreen(TfrmCtrlArqXMLNFe& form)
{
    auto bind = [&form](auto* source, auto signal, void (TfrmCtrlArqXMLNFe::*handler)(QObject*)) {
        QObject::connect(source, signal, &form, [&form, source, handler] {
            form.clientWait.runGuarded([&] { (form.*handler)(source); });
        });
    };
    for (const ScreenCommand& command : screenCommands()) {
        if (command.button)
            bind(form.*command.button, &QToolButton::clicked, command.handler);
        if (command.actionRunsHandler)
            bind(form.*command.action, &QAction::triggered, command.handler);
    }

    bind(form.dbgArquivos, &QTableView::doubleClicked, &TfrmCtrlArqXMLNFe::dbgArquivosDblClick);
    form.dbgArquivos->installEventFilter(new GridKeys(form));
    form.dbgArquivos->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(form.dbgArquivos, &QWidget::customContextMenuRequested, &form,
                     [&form](const QPoint& at) { showGridMenu(form, at); });
    QObject::connect(form.dbgArquivos->horizontalHeader(), &QHeaderView::sectionClicked, &form, [&form](int section) {
        const std::string field = gridColumns.value(section).toStdString();
        form.clientWait.runGuarded([&] { form.dbgArquivosTitleClick(field); });
    });

    form.cdsArquivos.AfterScroll = [&form](Platform::TClientDataSet& dataSet) { form.cdsArquivosAfterScroll(dataSet); };
    form.cdsArquivosFLTAMANHO->OnGetText = [&form](const Platform::TField& field) {
        std::string text;
        form.cdsArquivosFLTAMANHOGetText(field, text, true);
        return text;
    };
    form.StatusBar->OnDrawPanel = [&form](QPainter& canvas, int /*panel*/, const QRect& rect) {
        form.StatusBarDrawPanel(canvas, rect);
    };
    form.netCtrlArqXMLNFe->OnBeforeConnect = [&form](Mrv::TNetConnection&) {
        form.netCtrlArqXMLNFeBeforeConnect(form.netCtrlArqXMLNFe);
    };
    form.IdFTP->OnStatus = [&form](Platform::TIdStatus status, const std::string& text) {
        form.IdFTPStatus(nullptr, status, text);
    };
}

} // namespace Cli_Vop31600
