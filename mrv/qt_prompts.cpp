#include "mrv/qt_prompts.h"

#include "mrv/pt_file_icon_provider.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include <utility>

namespace Mrv {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

QMessageBox::Icon iconFor(DialogType type)
{
    switch (type) {
    case DialogType::Warning: return QMessageBox::Warning;
    case DialogType::Error: return QMessageBox::Critical;
    case DialogType::Information: return QMessageBox::Information;
    case DialogType::Confirmation: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Our own buttons carry their Portuguese text, whether or not Qt's translations are installed.
void namePortuguese(QMessageBox& box)
{
    const std::pair<QMessageBox::StandardButton, const char*> names[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Yes, "&Sim"}, {QMessageBox::No, "&Não"}};
    for (const auto& [which, name] : names)
        if (QAbstractButton* button = box.button(which))
            button->setText(QString::fromUtf8(name));
}

void showBox(QMessageBox::Icon icon, const std::string& caption, const std::string& text)
{
    // Qt 6.4's QMessageBox is always a widget of its own, never a native box.
    QMessageBox box(icon, qs(caption), qs(text), QMessageBox::Ok, QApplication::activeWindow());
    namePortuguese(box);
    box.exec();
}

// Shared set-up of both file dialogs, which start where `start` says. The icon provider must outlive
// the dialog (the dialog does not own it).
void prepare(QFileDialog& dialog, const FileDialogOptions& options, const DialogFolders::Start& start,
             QFileIconProvider& iconProvider)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setIconProvider(&iconProvider);
    // With no title of ours, Qt's own ("Salvar como", "Abrir") is shown.
    if (!options.title.empty())
        dialog.setWindowTitle(qs(options.title));
    dialog.setLabelText(QFileDialog::Accept, dialog.acceptMode() == QFileDialog::AcceptSave
                                                 ? QStringLiteral("&Salvar")
                                                 : QStringLiteral("&Abrir"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
    const QString filter = qtFileFilter(options.filter);
    if (!filter.isEmpty())
        dialog.setNameFilters(filter.split(QStringLiteral(";;")));
    dialog.setDirectory(start.directory);
    if (!start.selection.isEmpty())
        dialog.selectFile(start.selection);
}

} // namespace

QString qtFileFilter(const std::string& filter)
{
    const QStringList parts = qs(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // A description that already names its patterns, as "Todos os arquivos (*.*)", is not given them twice.
        const QString named = QStringLiteral(" (") + patterns + QLatin1Char(')');
        filters << (parts[i].endsWith(named) ? parts[i] : parts[i] + named);
    }
    return filters.join(QStringLiteral(";;"));
}

ModalResult QtPrompts::ask(const std::string& caption, const std::string& text, DialogType type)
{
    QMessageBox box(iconFor(type), qs(caption), qs(text), QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Yes);
    namePortuguese(box);
    return box.exec() == QMessageBox::Yes ? ModalResult::Yes : ModalResult::No;
}

void QtPrompts::error(const std::string& caption, const std::string& text)
{
    showBox(QMessageBox::Critical, caption, text);
}

void QtPrompts::inform(const std::string& caption, const std::string& text)
{
    showBox(QMessageBox::Information, caption, text);
}

std::optional<std::string> QtPrompts::saveFile(const FileDialogOptions& options)
{
    PtFileIconProvider iconProvider;
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.overwritePrompt);
    prepare(dialog, options, folders_.start(DialogFolders::Kind::Save, qs(options.fileName)), iconProvider);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().first();
    folders_.remember(DialogFolders::Kind::Save, chosen);
    return chosen.toStdString();
}

std::optional<std::vector<std::string>> QtPrompts::openFiles(const FileDialogOptions& options)
{
    PtFileIconProvider iconProvider;
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    prepare(dialog, options, folders_.start(DialogFolders::Kind::Open, qs(options.fileName)), iconProvider);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    folders_.remember(DialogFolders::Kind::Open, dialog.selectedFiles().first());
    std::vector<std::string> paths;
    for (const QString& path : dialog.selectedFiles())
        paths.push_back(path.toStdString());
    return paths;
}

std::optional<std::string> QtPrompts::inputText(const std::string& caption, const std::string& prompt,
                                                const std::string& defaultText)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(qs(caption));
    dialog.setLabelText(qs(prompt));
    dialog.setTextValue(qs(defaultText));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancelar"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

std::optional<std::string> QtPrompts::chooseFolder(const std::string& caption, const std::string& startFolder)
{
    PtFileIconProvider iconProvider;
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setIconProvider(&iconProvider);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    if (!caption.empty())
        dialog.setWindowTitle(qs(caption));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("&Selecionar"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("Cancelar"));
    dialog.setDirectory(folders_.start(DialogFolders::Kind::Open, qs(startFolder)).directory);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

int QtPrompts::choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons,
                      int defaultButton)
{
    QMessageBox box(QMessageBox::Question, qs(caption), qs(text), QMessageBox::NoButton, QApplication::activeWindow());
    std::vector<QAbstractButton*> added;
    for (const std::string& label : buttons)
        added.push_back(box.addButton(qs(label), QMessageBox::ActionRole));
    // Esc picks the last button, the one that gives up.
    if (!added.empty()) {
        const std::size_t preferred = defaultButton >= 0 && static_cast<std::size_t>(defaultButton) < added.size()
            ? static_cast<std::size_t>(defaultButton) : 0;
        box.setDefaultButton(static_cast<QPushButton*>(added[preferred]));
        box.setEscapeButton(added.back());
    }
    box.exec();
    for (std::size_t i = 0; i < added.size(); ++i)
        if (box.clickedButton() == added[i])
            return static_cast<int>(i);
    return -1;
}

} // namespace Mrv
