#include "mrv/file_dialogs.h"

namespace Mrv {

TSaveDialog::TSaveDialog(QObject* owner) : QObject(owner) {}

bool TSaveDialog::Execute()
{
    FileDialogOptions options;
    options.filter = Filter;
    options.fileName = FileName;
    options.overwritePrompt = OverwritePrompt;
    auto chosen = prompts().saveFile(options);
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}

TOpenDialog::TOpenDialog(QObject* owner) : QObject(owner) {}

bool TOpenDialog::Execute()
{
    FileDialogOptions options;
    options.filter = Filter;
    options.fileName = FileName;
    options.multiSelect = AllowMultiSelect;
    auto chosen = prompts().openFiles(options);
    if (!chosen || chosen->empty())
        return false;
    Files = *chosen;
    FileName = Files.front();
    return true;
}

} // namespace Mrv
