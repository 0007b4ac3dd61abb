#include "screen/ctrl_arq_xml_nfe.h"

#include "screen/screen_globals.h"
#include "screen/find_bar.h"
#include "screen/glyphs.h"
#include "screen/listing_parser.h"
#include "screen/message_table.h"
#include "screen/nfe_details.h"
#include "screen/remote_browser.h"
#include "screen/screen_commands.h"
#include "transfer/transfer_worker.h"

#include "mrv/application.h"
#include "mrv/consiste.h"
#include "mrv/net_connection.h"
#include "mrv/quelbar.h"
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
#include <QLineEdit>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QVBoxLayout>

namespace Cli_Vop31600 {
namespace {

const QStringList gridColumns{"DSDTHRMODIFICACAO", "DSTIPO", "FLTAMANHO", "DSNOME"};
const int gridWidths[] = {100, 40, 175, 500};

} // namespace

TfrmCtrlArqXMLNFe::TfrmCtrlArqXMLNFe(QWidget* owner) : TfrmRotiGeral(owner)
{
    // The module global names the screen before its own handlers run.
    frmCtrlArqXMLNFe = this;
    buildDesign();
    buildActions();
    bindHandlers();
    details_ = new NfeDetails(*this, [this] { return browser_.get(); });
    installWaitHooks();
    // On screen before the first request: the host paints it while the server is awaited.
    placeInMdiArea();
    if (subWindow())
        subWindow()->show();
    runGuarded([this] { FormCreate(this); });
}

TfrmCtrlArqXMLNFe::~TfrmCtrlArqXMLNFe()
{
    if (frmCtrlArqXMLNFe == this)
        frmCtrlArqXMLNFe = nullptr;
}

void TfrmCtrlArqXMLNFe::buildDesign()
{
    setObjectName(QStringLiteral("frmCtrlArqXMLNFe"));
    setWindowTitle(QStringLiteral("Controle de Arquivos XML da NF-e"));
    resize(920, 386);
    move(143, 172);
    lblCodTela->setText(QStringLiteral("VOP31600"));
    msgPadrao->SetLines(messageTableLines());

    auto* area = new QVBoxLayout(grbDadosRel);
    area->setContentsMargins(2, 2, 2, 2);
    area->setSpacing(2);

    panDiretorio = new QFrame(grbDadosRel);
    panDiretorio->setObjectName(QStringLiteral("panDiretorio"));
    panDiretorio->setFixedHeight(33);
    auto* bar = new QHBoxLayout(panDiretorio);
    bar->setContentsMargins(4, 4, 4, 4);
    bar->setSpacing(4);
    buildCommandButtons();
    edtDiretorio = new QLineEdit(panDiretorio);
    edtDiretorio->setObjectName(QStringLiteral("edtDiretorio"));
    edtDiretorio->setEnabled(false);
    edtDiretorio->setFocusPolicy(Qt::NoFocus);
    edtDiretorio->setStyleSheet(QStringLiteral("QLineEdit { background: palette(button); color: palette(text); }"));
    bar->addWidget(btnHome);
    bar->addWidget(btnNivelAcima);
    bar->addWidget(edtDiretorio, 1);
    bar->addWidget(btnAtualizar);
    bar->addWidget(btnAbortar);
    area->addWidget(panDiretorio);

    // The file table: six persistent fields, the design index on DSNOME active.
    defineFileTableFields(cdsArquivos);
    cdsArquivosDSDTHRMODIFICACAO = &cdsArquivos.FieldByName("DSDTHRMODIFICACAO");
    cdsArquivosDSTIPO = &cdsArquivos.FieldByName("DSTIPO");
    cdsArquivosBOISDIRECTORY = &cdsArquivos.FieldByName("BOISDIRECTORY");
    cdsArquivosDSNOME = &cdsArquivos.FieldByName("DSNOME");
    cdsArquivosIDARQUIVO = &cdsArquivos.FieldByName("IDARQUIVO");
    cdsArquivosFLTAMANHO = &cdsArquivos.FieldByName("FLTAMANHO");

    dbgArquivos = new QTableView(grbDadosRel);
    dbgArquivos->setObjectName(QStringLiteral("dbgArquivos"));
    // The design's column widths suit a small bitmap font; an 8-point, slightly condensed face keeps
    // the listed date and "<DIR>" whole in them.
    QFont cellFont = dbgArquivos->font();
    cellFont.setPointSize(8);
    cellFont.setStretch(QFont::SemiCondensed);
    dbgArquivos->setFont(cellFont);
    dtsArquivos = new Platform::DataSetGridLink(dbgArquivos, cdsArquivos, gridColumns);
    dbgArquivos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dbgArquivos->setSelectionBehavior(QAbstractItemView::SelectRows);
    dbgArquivos->setSelectionMode(QAbstractItemView::SingleSelection);
    dbgArquivos->setShowGrid(false);
    dbgArquivos->setWordWrap(false);
    dbgArquivos->setTabKeyNavigation(true);
    dbgArquivos->verticalHeader()->hide();
    dbgArquivos->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    dbgArquivos->verticalHeader()->setDefaultSectionSize(18);
    dbgArquivos->horizontalHeader()->setSectionsClickable(true);
    dbgArquivos->horizontalHeader()->setHighlightSections(false);
    dbgArquivos->horizontalHeader()->setStretchLastSection(false);
    QFont titleFont(QStringLiteral("MS Sans Serif"), 8);
    titleFont.setStyleHint(QFont::SansSerif);
    dbgArquivos->horizontalHeader()->setFont(titleFont);
    for (int column = 0; column < gridColumns.size(); ++column)
        dbgArquivos->setColumnWidth(column, gridWidths[column]);
    area->addWidget(dbgArquivos, 1);
    panLocalizar = new FindBar(cdsArquivos, "DSNOME", grbDadosRel);
    panLocalizar->leaveFocus = [this] { dbgArquivos->setFocus(Qt::OtherFocusReason); };
    area->addWidget(panLocalizar);

    StatusBar = new Platform::TStatusBar(grbDadosRel);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->AddPanel(200);
    StatusBar->AddPanel(620);
    StatusBar->AddPanel(50, true);
    area->addWidget(StatusBar);

    // Designed in the group box; FormShow moves it into the first status panel.
    ProgressBar = new Platform::TProgressBar(grbDadosRel);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(8, 304, 199, 17);
    ProgressBar->SetMax(100);

    ImageList = {lampPixmap(false), lampPixmap(true)};

    sbtConfirma->setEnabled(false);
    sbtCancel->SetGlyph(glyphIcon(Glyph::Cancel));
    sbtCancel->setGeometry(4, 102, 52, 21);

    savDownload = new Mrv::TSaveDialog(this);
    savDownload->setObjectName(QStringLiteral("savDownload"));
    savDownload->Filter = "Todos os arquivos (*.*)|*.*";
    savDownload->OverwritePrompt = true;
    opdUpload = new Mrv::TOpenDialog(this);
    opdUpload->setObjectName(QStringLiteral("opdUpload"));
    opdUpload->Filter = "Todos os arquivos (*.*)|*.*";
    opdUpload->AllowMultiSelect = true;

    netCtrlArqXMLNFe = new Mrv::TNetConnection(this);
    netCtrlArqXMLNFe->setObjectName(QStringLiteral("netCtrlArqXMLNFe"));
    netCtrlArqXMLNFe->ServerName = "VOP31600.rdmCtrlArqXMLNFe";
    netCtrlArqXMLNFe->ThrowException = false;

    IdFTP = std::make_unique<Platform::TIdFTP>();
    IdHTTP = std::make_unique<Platform::TIdHTTP>();
    chooseBrowser();

    // The grid takes the focus for the form, so the screen's shortcuts always have a focus inside it.
    setFocusProxy(dbgArquivos);
}

void TfrmCtrlArqXMLNFe::buildCommandButtons()
{
    for (const ScreenCommand& command : screenCommands()) {
        // Commands without a button have only their action. The base form made the Download button.
        if (!command.button)
            continue;
        Mrv::TButtonFlat*& button = this->*command.button;
        if (!button)
            button = new Mrv::TButtonFlat(command.place == CommandPlace::DirectoryBar ? panDiretorio : panBotoes);
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

void TfrmCtrlArqXMLNFe::buildActions()
{
    for (const ScreenCommand& command : screenCommands()) {
        auto* action = new QAction(QString::fromLatin1(command.actionName), this);
        action->setObjectName(QString::fromLatin1(command.actionName));
        if (!command.shortcut.isEmpty())
            action->setShortcut(command.shortcut);
        // Only the active screen's shortcuts fire, and they stay live while the buttons are disabled.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        this->*command.action = action;
    }
}

void TfrmCtrlArqXMLNFe::bindHandlers()
{
    auto bind = [this](auto* source, auto signal, void (TfrmCtrlArqXMLNFe::*handler)(QObject*)) {
        connect(source, signal, this, [this, source, handler] { runGuarded([&] { (this->*handler)(source); }); });
    };
    for (const ScreenCommand& command : screenCommands()) {
        if (command.button)
            bind(this->*command.button, &QToolButton::clicked, command.handler);
        if (command.actionRunsHandler)
            bind(this->*command.action, &QAction::triggered, command.handler);
    }

    bind(dbgArquivos, &QTableView::doubleClicked, &TfrmCtrlArqXMLNFe::dbgArquivosDblClick);
    dbgArquivos->installEventFilter(this);
    installGridMenu();
    connect(dbgArquivos->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        const std::string field = gridColumns.value(section).toStdString();
        runGuarded([&] { dbgArquivosTitleClick(field); });
    });

    cdsArquivos.AfterScroll = [this](Platform::TClientDataSet& dataSet) { cdsArquivosAfterScroll(dataSet); };
    cdsArquivosFLTAMANHO->OnGetText = [this](const Platform::TField& field) {
        std::string text;
        cdsArquivosFLTAMANHOGetText(field, text, true);
        return text;
    };
    StatusBar->OnDrawPanel = [this](QPainter& canvas, int /*panel*/, const QRect& rect) {
        StatusBarDrawPanel(canvas, rect);
    };
    netCtrlArqXMLNFe->OnBeforeConnect = [this](Mrv::TNetConnection&) { netCtrlArqXMLNFeBeforeConnect(netCtrlArqXMLNFe); };
    IdFTP->OnStatus = [this](Platform::TIdStatus status, const std::string& text) {
        IdFTPStatus(nullptr, status, text);
    };
}

bool TfrmCtrlArqXMLNFe::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on a row does what a double-click does: opens a directory or downloads a file.
    if (watched == dbgArquivos && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            runGuarded([this] { dbgArquivosDblClick(dbgArquivos); });
            return true;
        }
        if (key->key() == Qt::Key_Escape && panLocalizar->isVisible()) {
            panLocalizar->closeBar();
            return true;
        }
    }
    return TfrmRotiGeral::eventFilter(watched, event);
}

void TfrmCtrlArqXMLNFe::FormCreate(QObject* sender)
{
    TfrmRotiGeral::FormCreate(sender);
    netCtrlArqXMLNFe->SetConnected(true);
}

void TfrmCtrlArqXMLNFe::netCtrlArqXMLNFeBeforeConnect(QObject* /*sender*/)
{
    netCtrlArqXMLNFe->Host = Quelbar::WebURL();
    netCtrlArqXMLNFe->Port = Quelbar::WebPort();
}

void TfrmCtrlArqXMLNFe::showDesigned()
{
    // The screen is designed visible: showing it is part of its creation, and the show handler
    // runs once, right there, whether or not the host's window is on screen yet.
    if (subWindow())
        subWindow()->show();
    else
        show();
    if (shown_)
        return;
    shown_ = true;
    runGuarded([this] { FormShow(this); });
}

void TfrmCtrlArqXMLNFe::FormShow(QObject* /*sender*/)
{
    ControlaComponentes(true, true);
    DadosFTP();
    AtualizaFTP();
    ChangeDir(SDirHome);
    // The progress bar moves into the first status panel, which it then covers.
    ProgressBar->setParent(StatusBar);
    ProgressBar->move(1, 2);
    ProgressBar->show();
}

void TfrmCtrlArqXMLNFe::FormClose(QObject* sender, Mrv::TCloseAction& action)
{
    if (refuseCloseDuringWait())
        throw Mrv::EAbort();
    // The worker's own flag decides, not boProcessoParado alone: a failed reload during a transfer
    // records "idle" although the worker still runs.
    if (!boProcessoParado || transferRunning()) {
        if (msgPadrao->ShowMsg("PROCESSO_RODANDO", Mrv::DialogType::Confirmation, 0)
            != static_cast<int>(Mrv::ModalResult::Yes))
            throw Mrv::EAbort();
        if (auto worker = ThrTransfer.lock())
            worker->Terminate();
    }
    browser_->disconnect();
    while (netCtrlArqXMLNFe->Connected())
        netCtrlArqXMLNFe->SetConnected(false);
    boStCriado = false;
    TfrmRotiGeral::FormClose(sender, action);
}

void TfrmCtrlArqXMLNFe::Release()
{
    // A worker told to stop may still be finishing: the screen stays alive (hidden) until it ends.
    if (transferRunning()) {
        releaseWhenIdle_ = true;
        if (subWindow())
            subWindow()->hide();
        return;
    }
    TfrmRotiGeral::Release();
}

void TfrmCtrlArqXMLNFe::transferEnded()
{
    if (releaseWhenIdle_) {
        releaseWhenIdle_ = false;
        TfrmRotiGeral::Release();
    }
}

bool TfrmCtrlArqXMLNFe::transferRunning() const
{
    auto worker = ThrTransfer.lock();
    return worker && !worker->Finished();
}

void CriaCtrlArqXMLNFe()
{
    auto& app = Mrv::Application::instance();
    app.setCursor(Mrv::crHourGlass);
    if (!boStCriado) {
        try {
            new TfrmCtrlArqXMLNFe(static_cast<QWidget*>(app.mdiArea()));  // owned by the MDI area (the application's window)
        } catch (...) {
            frmCtrlArqXMLNFe = nullptr;
            throw;
        }
        if (frmCtrlArqXMLNFe)
            frmCtrlArqXMLNFe->showDesigned();
        boStCriado = true;
    }
    if (frmCtrlArqXMLNFe) {
        QWidget* window = frmCtrlArqXMLNFe->subWindow() ? static_cast<QWidget*>(frmCtrlArqXMLNFe->subWindow())
                                                        : static_cast<QWidget*>(frmCtrlArqXMLNFe);
        window->showNormal();
        window->raise();
        window->activateWindow();
        if (auto* sub = frmCtrlArqXMLNFe->subWindow(); sub && sub->mdiArea())
            sub->mdiArea()->setActiveSubWindow(sub);
        frmCtrlArqXMLNFe->setFocus();
    }
    app.setCursor(Mrv::crDefault);
}

} // namespace Cli_Vop31600
