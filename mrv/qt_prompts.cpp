#include "mrv/qt_prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

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

void showBox(QMessageBox::Icon icon, const std::string& caption, const std::string& text)
{
    // Qt 6.4's QMessageBox is always a widget of its own, never a native box.
    QMessageBox box(icon, qs(caption), qs(text), QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

// Shared set-up of both file dialogs; the caller sets the mode.
void prepare(QFileDialog& dialog, const FileDialogOptions& options)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setWindowTitle(qs(options.title));
    const QString filter = qtFileFilter(options.filter);
    if (!filter.isEmpty())
        dialog.setNameFilters(filter.split(QStringLiteral(";;")));
    if (!options.fileName.empty())
        dialog.selectFile(qs(options.fileName));
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
    QFileDialog dialog(QApplication::activeWindow());
    prepare(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

std::optional<std::vector<std::string>> QtPrompts::openFiles(const FileDialogOptions& options)
{
    QFileDialog dialog(QApplication::activeWindow());
    prepare(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
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
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

} // namespace Mrv
