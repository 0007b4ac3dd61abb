#pragma once

#include "mrv_export.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// Every modal box and dialog of the module goes through this seam, so that the script driver and the
// tests can answer them. Implementations are called on the GUI thread only.
namespace Mrv {

// Modal results, numbered as the suite numbers them (6 is Yes).
enum class ModalResult : int { None = 0, Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

enum class DialogType { Warning, Error, Information, Confirmation };

struct FileDialogOptions {
    std::string title;
    std::string filter;          // "Description|pattern", as the form designs it
    std::string fileName;        // offered name (save) or initial selection
    bool overwritePrompt = false;
    bool multiSelect = false;
};

class MRV_API Prompts {
public:
    virtual ~Prompts() = default;
    // A question with Yes and No (and whatever else `buttons` asks for); returns the modal result.
    virtual ModalResult ask(const std::string& caption, const std::string& text, DialogType type) = 0;
    // An error box (MensErro and the report of an exception that escaped a handler).
    virtual void error(const std::string& caption, const std::string& text) = 0;
    // The plain message box.
    virtual void inform(const std::string& caption, const std::string& text) = 0;
    // Save dialog: the chosen path, or nothing when cancelled.
    virtual std::optional<std::string> saveFile(const FileDialogOptions& options) = 0;
    // Open dialog: the chosen paths in selection order, or nothing when cancelled.
    virtual std::optional<std::vector<std::string>> openFiles(const FileDialogOptions& options) = 0;
    // Input box: the entered text, or nothing when cancelled.
    virtual std::optional<std::string> inputText(const std::string& caption, const std::string& prompt,
                                                 const std::string& defaultText) = 0;
    // Folder dialog starting at startFolder: the chosen folder, or nothing when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& caption, const std::string& startFolder) = 0;
    // A question answered by one of several buttons, given in order: the 0-based index of the button
    // pressed, or -1 when the box was closed without one. Enter presses defaultButton, Esc the last.
    // (Every override declares the same default.)
    virtual int choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons,
                       int defaultButton = 0) = 0;
};

// The prompts in force; the Qt dialogs until something else is installed.
MRV_API Prompts& prompts();
// Replaces the prompts in force (nullptr restores the Qt dialogs).
MRV_API void installPrompts(std::unique_ptr<Prompts> replacement);

} // namespace Mrv
