// What a user meets of the screen's design, checked on a real form in a real MDI area. No
// application server answers here, so opening shows the settings error and leaves the screen open.
#include "tests/screen/screen_harness.h"

#include "screen/screen_commands.h"

#include "mrv/application.h"
#include "mrv/quelbar.h"
#include "mrv/scripted_prompts.h"
#include "mrv/showavi.h"
#include "platform/widgets/progress_bar.h"
#include "platform/widgets/status_bar.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using namespace Cli_Vop31600;

namespace {

class FormDesign : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(form, nullptr); }

    ScreenHarness harness;
    QMainWindow& window = harness.window;
    QMdiArea* area = harness.area;
    Mrv::ScriptedPrompts* prompts = harness.prompts;
    TfrmCtrlArqXMLNFe* form = harness.form;
};

} // namespace

TEST_F(FormDesign, OpeningWithoutSettingsShowsTheErrorAndKeepsTheScreenUsable)
{
    EXPECT_TRUE(boStCriado);
    const auto transcript = prompts->transcript();
    ASSERT_EQ(transcript.size(), 1u);
    EXPECT_EQ(transcript[0].kind, "error");
    EXPECT_EQ(form->windowTitle().toStdString(), "Controle de Arquivos XML da NF-e");
    EXPECT_TRUE(form->btnHome->isEnabled());
    EXPECT_TRUE(form->btnUpload->isEnabled());
    EXPECT_FALSE(form->btnAbortar->isEnabled());
    EXPECT_TRUE(form->cdsArquivos.IsEmpty());
    EXPECT_TRUE(form->edtDiretorio->text().isEmpty());
    // FormShow stopped at the settings: the progress bar was never moved into the status bar.
    EXPECT_NE(form->ProgressBar->parentWidget(), form->StatusBar);
    EXPECT_EQ(Mrv::Application::instance().cursor(), Mrv::crDefault);
}

TEST_F(FormDesign, HintsTagsAndColumns)
{
    EXPECT_EQ(form->btnHome->toolTip(), "Home (Ctrl+H)");
    EXPECT_EQ(form->btnNivelAcima->toolTip(), "Nível Acima (Ctrl+Z)");
    EXPECT_EQ(form->btnAtualizar->toolTip(), "Atualizar (Ctrl+A)");
    EXPECT_EQ(form->btnAbortar->toolTip(), "Abortar (Ctrl+A)");
    EXPECT_EQ(form->sbtConfirma->toolTip(), "Download (Ctrl+D)");
    EXPECT_EQ(form->btnUpload->toolTip(), "Upload (Ctrl+U)");
    EXPECT_EQ(form->btnExcluir->toolTip(), "Excluir (Ctrl+E)");
    EXPECT_EQ(form->btnNovoDir->toolTip(), "Criar Novo Diretório (Ctrl+N)");
    EXPECT_EQ(form->sbtConfirma->Tag(), 0);
    EXPECT_EQ(form->btnUpload->Tag(), 1);

    const QAbstractItemModel* model = form->dbgArquivos->model();
    const QStringList titles{"Modificado", "Tipo", "Tamanho", "Nome"};
    const QList<int> widths{100, 40, 175, 500};
    ASSERT_EQ(model->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(model->headerData(c, Qt::Horizontal).toString(), titles[c]);
        EXPECT_EQ(form->dbgArquivos->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(form->dbgArquivos->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(form->StatusBar->Panel(0)->width(), 200);
    EXPECT_EQ(form->StatusBar->Panel(1)->width(), 620);
    EXPECT_EQ(form->StatusBar->Panel(2)->width(), 50);
    EXPECT_EQ(form->cdsArquivos.IndexName(), "cdsArquivosIndex1");
}

TEST_F(FormDesign, EachActionCarriesTheKeysItsButtonsHintNames)
{
    // Abort alone has no shortcut: its designed hint names Refresh's keys.
    for (const ScreenCommand& command : screenCommands()) {
        const QAction* action = form->*command.action;
        ASSERT_NE(action, nullptr) << command.actionName;
        EXPECT_EQ(action->objectName(), command.actionName);
        if (!command.button)
            continue;  // keyboard and menu commands have no hint
        const QString hint = (form->*command.button)->toolTip();
        if (action->objectName() == "actAbortar")
            EXPECT_TRUE(action->shortcut().isEmpty());
        else
            EXPECT_TRUE(hint.endsWith("(" + action->shortcut().toString(QKeySequence::PortableText) + ")")) << hint.toStdString();
    }
    // Beside the table: "Detalhes da NF-e" (Ctrl+I), "Log de protocolo" (Ctrl+L) and "Enviar pasta"
    // (Ctrl+Shift+U), which have no button.
    EXPECT_EQ(form->actions().size(), static_cast<qsizetype>(screenCommands().size()) + 3);
    EXPECT_EQ(form->findChild<QAction*>("actDetalhes")->shortcut(), QKeySequence("Ctrl+I"));
    EXPECT_EQ(form->findChild<QAction*>("actLogProtocolo")->shortcut(), QKeySequence("Ctrl+L"));
    EXPECT_EQ(form->findChild<QAction*>("actEnviarPasta")->shortcut(), QKeySequence("Ctrl+Shift+U"));
}

TEST_F(FormDesign, GeometryAsDesigned)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(form->subWindow()->geometry(), QRect(143, 172, 920, 386));
    EXPECT_EQ(form->grbDadosRel->width(), 849);
    EXPECT_EQ(form->panDiretorio->height(), 33);
    EXPECT_EQ(form->StatusBar->height(), 19);
    EXPECT_EQ(form->panHelp->y(), 142);
    const QList<int> tops{form->sbtConfirma->y(), form->btnUpload->y(), form->btnNovoDir->y(),
                          form->btnExcluir->y(), form->sbtCancel->y()};
    EXPECT_EQ(tops, (QList<int>{4, 26, 48, 70, 102}));
    EXPECT_EQ(form->ProgressBar->geometry(), QRect(8, 304, 199, 17));  // where designed: FormShow stopped early
    const QFont title = form->dbgArquivos->horizontalHeader()->font();
    EXPECT_EQ(title.family(), "MS Sans Serif");
    EXPECT_EQ(title.pointSize(), 8);
}

TEST_F(FormDesign, PathBoxIsReadOnlyInTheButtonFaceAndOutOfTheTabChain)
{
    QLineEdit* path = form->edtDiretorio;
    EXPECT_FALSE(path->isEnabled());
    EXPECT_EQ(path->focusPolicy(), Qt::NoFocus);
    const QImage face = path->grab().toImage();
    const QColor button = form->palette().color(QPalette::Button);
    ASSERT_NE(button, form->palette().color(QPalette::Base));
    EXPECT_EQ(face.pixelColor(face.width() - 6, face.height() / 2), button);
}

TEST_F(FormDesign, BusyIndicatorReachesTheScreenWithoutTheEventLoop)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    // The server calls it covers block the event loop: it must be painted on showing, gone on hiding.
    auto shot = [&] { return window.screen()->grabWindow(window.winId()).toImage(); };
    Showavi::ActiveShowAvi(form, 6);
    QPointer<QLabel> busy = form->findChild<QLabel*>("ShowAvi");
    ASSERT_FALSE(busy.isNull());
    EXPECT_TRUE(busy->isVisible());
    EXPECT_EQ(busy->text(), "Aguarde...");
    EXPECT_EQ(form->childAt(busy->geometry().center()), busy);  // over the screen's own widgets
    const QPoint corner = busy->mapTo(&window, QPoint(0, 0));
    const QColor border = shot().pixelColor(corner);
    EXPECT_EQ(border, QColor(0x7a, 0x7a, 0x7a));
    Showavi::DeactiveShowAvi();
    EXPECT_FALSE(Showavi::ShowAviActive());
    EXPECT_TRUE(busy.isNull() || !busy->isVisible());
    EXPECT_NE(shot().pixelColor(corner), border);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(busy.isNull());
}

TEST_F(FormDesign, MessageTextsByteForByte)
{
    const std::pair<const char*, const char*> expected[] = {
        {"DISCONECTADO", "Disconectado"},
        {"VEL_DOWNLOAD", "Velocidade Download "},
        {"VEL_UPLOAD", "Velocidade Upload %s (Arquivo %s de %s)."},
        {"VEL_DOWNLOAD_LOTE", "Velocidade Download %s (%s de %s arquivos concluídos)."},
        {"VEL_UPLOAD_PASTA", "Velocidade Upload %s (%s de %s arquivos concluídos)."},
        {"TRANSF_COMPLETA", "Transferência Completa (%s Bytes Recebidos em %s Segundos)."},
        {"NOVO_DIRETORIO", "Criar Novo Diretório"},
        {"NOME", "Nome"},
        {"TRANSF_CANCELADA", "Transferência Cancelada."},
        {"CONF_EXCLUSAO", "Confirma exclusão?"},
        {"PROCESSO_RODANDO", "Existe um download ou upload em andamento. Deseja cancelar a operação?"},
        {"EXCLUSAO_BLOQUEADA",
         "Operação bloqueada. Diretório necessário para o funcionamento dos sistemas Morvane."},
        {"NOVO_DIR_JA_EXISTE", "Operação bloqueada. Já existe um diretório com este nome."},
        {"TRANSF_FALHOU", "Falha na transferência: %s."},
    };
    for (const auto& [key, text] : expected)
        EXPECT_EQ(form->msgPadrao->Msg(key), text) << key;
}

TEST_F(FormDesign, ShortcutsFireWhileTheirButtonsAreDisabled)
{
    form->ControlaComponentes(false, true);
    ASSERT_FALSE(form->btnUpload->isEnabled());
    form->subWindow()->activateWindow();
    area->setActiveSubWindow(form->subWindow());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    form->setFocus();
    prompts->queueOpen(std::nullopt);  // the open dialog is cancelled: no transfer starts
    QTest::keyClick(form->dbgArquivos, Qt::Key_U, Qt::ControlModifier);
    const auto transcript = prompts->transcript();
    ASSERT_FALSE(transcript.empty());
    EXPECT_EQ(transcript.back().kind, "open");
    EXPECT_FALSE(form->transferRunning());
    // Abort has no shortcut at all.
    EXPECT_TRUE(form->actAbortar->shortcut().isEmpty());
    EXPECT_EQ(form->actAtualizar->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
}

TEST_F(FormDesign, SecondOpenOnlyRaisesTheScreen)
{
    const auto before = prompts->transcript().size();
    form->subWindow()->showMinimized();
    CriaCtrlArqXMLNFe();
    EXPECT_EQ(frmCtrlArqXMLNFe, form);
    EXPECT_EQ(prompts->transcript().size(), before);  // no second settings fetch, no second error
    EXPECT_FALSE(form->subWindow()->isMinimized());
    EXPECT_EQ(area->subWindowList().size(), 1);
}
