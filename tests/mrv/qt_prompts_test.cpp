// The real Qt prompts, opened on the offscreen platform: what the user reads, and where the file
// dialogs open.
#include "mrv/qt_prompts.h"
#include "mrv/qt_translations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using Mrv::FileDialogOptions;
using Mrv::QtPrompts;

// Runs `inspect` on the next modal dialog of type T once it shows; whatever `inspect` leaves open is
// cancelled, so that a failed expectation never leaves the test waiting on a dialog.
template <typename T>
void whenShown(std::function<void(T&)> inspect)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, inspect] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        inspect(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    poll->start(10);
}

// Every text a dialog shows: its title, labels, buttons (text and tip) and column titles, mnemonics
// removed.
QStringList shownTexts(QWidget& dialog)
{
    QStringList texts{dialog.windowTitle()};
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>())
        texts << button->text() << button->toolTip();
    for (const QTreeView* view : dialog.findChildren<QTreeView*>())
        for (int column = 0; view->model() && column < view->model()->columnCount(); ++column)
            texts << view->model()->headerData(column, Qt::Horizontal).toString();
    for (QString& text : texts)
        text.remove(QLatin1Char('&'));
    return texts;
}

void expectPortuguese(QWidget& dialog, const QStringList& expected)
{
    static const QStringList english{"Look in:", "File name:", "Files of type:", "Save", "Save As", "Open",
                                     "Cancel", "Back", "Forward", "Parent Directory", "Create New Folder",
                                     "List View", "Detail View", "Name", "Size", "Type", "Date Modified",
                                     "Yes", "No", "Enter a value:"};
    const QStringList texts = shownTexts(dialog);
    for (const QString& text : expected)
        EXPECT_TRUE(texts.contains(text)) << text.toStdString() << " missing from " << texts.join(" | ").toStdString();
    for (const QString& text : english)
        EXPECT_FALSE(texts.contains(text)) << text.toStdString() << " shown in English";
}

std::string canonical(const QString& path) { return QFileInfo(path).canonicalFilePath().toStdString(); }

TEST(QtPrompts, DialogsAndBoxesSpeakPortugueseOnceTheHostsTranslatorIsInstalled)
{
    ASSERT_TRUE(Mrv::installQtTranslations());
    QTemporaryDir home;
    QtPrompts prompts;

    whenShown<QFileDialog>([&](QFileDialog& dialog) {
        expectPortuguese(dialog, {"Salvar como", "Salvar", "Cancelar", "Procurar em:", "Nome do arquivo:",
                                  "Arquivos do tipo:", "Nome", "Tamanho", "Tipo", "Data de modificação",
                                  "Pasta superior", "Criar nova pasta"});
        // The "Tipo" column of a folder, which Debian's catalogue leaves English.
        ASSERT_NE(dialog.iconProvider(), nullptr);
        EXPECT_EQ(dialog.iconProvider()->type(QFileInfo(home.path())).toStdString(), "Pasta");
    });
    EXPECT_EQ(prompts.saveFile({}), std::nullopt);

    whenShown<QFileDialog>([](QFileDialog& dialog) { expectPortuguese(dialog, {"Abrir", "Cancelar"}); });
    EXPECT_EQ(prompts.openFiles({}), std::nullopt);

    // Yes is the default button: answering No must come back as No.
    whenShown<QMessageBox>([](QMessageBox& box) {
        expectPortuguese(box, {"Sim", "Não"});
        box.button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompts.ask("VOP", "Excluir o arquivo?", Mrv::DialogType::Confirmation), Mrv::ModalResult::No);

    whenShown<QMessageBox>([](QMessageBox& box) { expectPortuguese(box, {"OK", "Pronto."}); });
    prompts.inform("VOP", "Pronto.");

    whenShown<QInputDialog>([](QInputDialog& dialog) { expectPortuguese(dialog, {"OK", "Cancelar", "Nome:"}); });
    EXPECT_EQ(prompts.inputText("Nova pasta", "Nome:", ""), std::nullopt);
}

TEST(QtPrompts, FileDialogsOpenInDocumentsThenWhereTheirKindWasLastUsed)
{
    QTemporaryDir root;
    const QDir base(root.path());
    for (const char* folder : {"home/Documents", "outra", "terceira", "sem-documentos"})
        ASSERT_TRUE(base.mkpath(folder));
    const QString documents = base.filePath("home/Documents");
    const QString other = base.filePath("outra");
    const QString third = base.filePath("terceira");
    ASSERT_TRUE(QFile(third + "/a.xml").open(QIODevice::WriteOnly));
    // Each test runs in a process of its own: the environment needs no restoring.
    qputenv("HOME", QFile::encodeName(base.filePath("home")));
    qunsetenv("XDG_CONFIG_HOME");  // Documents is then $HOME/Documents

    QtPrompts prompts;
    auto offering = [](const QString& name) {
        FileDialogOptions options;
        options.fileName = name.toStdString();
        return options;
    };
    // The user goes to `folder`, types `name` and confirms.
    auto choose = [](const QString& folder, const QString& name) {
        return [folder, name](QFileDialog& dialog) {
            dialog.setDirectory(folder);
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText(name);
            static_cast<QDialog&>(dialog).accept();  // as the Save or Open button does
        };
    };
    // The dialog shows `folder`, with `offered` (a path inside it) as its file.
    auto expectStart = [](const QString& folder, const QString& offered = {}) {
        return [folder, offered](QFileDialog& dialog) {
            EXPECT_EQ(canonical(dialog.directory().path()), canonical(folder));
            if (!offered.isEmpty()) {
                ASSERT_FALSE(dialog.selectedFiles().isEmpty());
                EXPECT_EQ(dialog.selectedFiles().first().toStdString(), offered.toStdString());
                EXPECT_EQ(dialog.findChild<QLineEdit*>("fileNameEdit")->text().toStdString(),
                          QFileInfo(offered).fileName().toStdString());
            }
        };
    };

    // First save: Documents, the offered bare name joined to it; the user saves elsewhere.
    whenShown<QFileDialog>([&](QFileDialog& dialog) {
        expectStart(documents, documents + "/nota.xml")(dialog);
        choose(other, "escolhida.xml")(dialog);
    });
    EXPECT_EQ(prompts.saveFile(offering("nota.xml")), std::optional<std::string>((other + "/escolhida.xml").toStdString()));

    // The next save opens there; a cancel keeps that folder.
    whenShown<QFileDialog>(expectStart(other, other + "/nota2.xml"));
    EXPECT_EQ(prompts.saveFile(offering("nota2.xml")), std::nullopt);

    // The open dialog keeps its own folder: Documents first, then where a file was opened.
    whenShown<QFileDialog>([&](QFileDialog& dialog) {
        expectStart(documents)(dialog);
        choose(third, "a.xml")(dialog);
    });
    const auto opened = prompts.openFiles({});
    ASSERT_TRUE(opened);
    EXPECT_EQ(*opened, std::vector<std::string>{(third + "/a.xml").toStdString()});
    whenShown<QFileDialog>(expectStart(third));
    EXPECT_EQ(prompts.openFiles({}), std::nullopt);

    // A full path from the caller wins over the remembered folder.
    whenShown<QFileDialog>(expectStart(third, third + "/cheia.xml"));
    EXPECT_EQ(prompts.saveFile(offering(third + "/cheia.xml")), std::nullopt);

    // A remembered folder removed since is not offered: back to Documents.
    ASSERT_TRUE(QDir(other).removeRecursively());
    whenShown<QFileDialog>(expectStart(documents, documents + "/nota4.xml"));
    EXPECT_EQ(prompts.saveFile(offering("nota4.xml")), std::nullopt);

    // No Documents folder: home.
    qputenv("HOME", QFile::encodeName(base.filePath("sem-documentos")));
    QtPrompts fresh;
    whenShown<QFileDialog>(expectStart(base.filePath("sem-documentos")));
    EXPECT_EQ(fresh.openFiles({}), std::nullopt);
}

} // namespace

TEST(QtPromptsSeveralButtonsAndFolder, TheButtonPressedAndTheFolderChosen)
{
    QtPrompts prompts;
    whenShown<QMessageBox>([](QMessageBox& box) {
        QStringList labels;
        for (QAbstractButton* button : box.buttons())
            labels << button->text();
        EXPECT_TRUE(labels.contains("Ignorar existentes")) << labels.join('|').toStdString();
        for (QAbstractButton* button : box.buttons())
            if (button->text() == "Ignorar existentes")
                button->click();
    });
    EXPECT_EQ(prompts.choose("Baixar", "2 já existem.", {"Substituir todos", "Ignorar existentes", "Cancelar"}), 1);
    whenShown<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });  // the last button
    EXPECT_EQ(prompts.choose("Baixar", "2 já existem.", {"Substituir todos", "Ignorar existentes", "Cancelar"}), 2);

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("lote"));
    const QString folder = dir.path() + "/lote";
    whenShown<QFileDialog>([&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Pasta de destino");
        dialog.setDirectory(folder);
        dialog.selectFile(folder);
        static_cast<QDialog&>(dialog).accept();
    });
    const auto chosen = prompts.chooseFolder("Pasta de destino", dir.path().toStdString());
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QDir(QString::fromStdString(*chosen)).canonicalPath(), QDir(folder).canonicalPath());
    whenShown<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(prompts.chooseFolder("Pasta de destino", dir.path().toStdString()).has_value());
}
