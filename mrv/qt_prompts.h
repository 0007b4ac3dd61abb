#pragma once

#include "mrv/dialog_folders.h"
#include "mrv/prompts.h"
#include "mrv_export.h"

#include <QString>

namespace Mrv {

// The prompts a user answers: Qt's own (non-native) message boxes, file dialogs and input box,
// parented to the active window, with Portuguese buttons. The file dialogs open where DialogFolders
// says, each kind remembering its last folder for as long as this object lives.
class MRV_API QtPrompts : public Prompts {
public:
    ModalResult ask(const std::string& caption, const std::string& text, DialogType type) override;
    void error(const std::string& caption, const std::string& text) override;
    void inform(const std::string& caption, const std::string& text) override;
    std::optional<std::string> saveFile(const FileDialogOptions& options) override;
    std::optional<std::vector<std::string>> openFiles(const FileDialogOptions& options) override;
    std::optional<std::string> inputText(const std::string& caption, const std::string& prompt,
                                         const std::string& defaultText) override;
    std::optional<std::string> chooseFolder(const std::string& caption, const std::string& startFolder) override;
    int choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons,
               int defaultButton = 0) override;

private:
    DialogFolders folders_;
};

// "Description|pattern[;pattern]|..." as the forms write filters, in Qt's "Description (pattern ...)"
// form joined by ";;".
MRV_API QString qtFileFilter(const std::string& filter);

} // namespace Mrv
