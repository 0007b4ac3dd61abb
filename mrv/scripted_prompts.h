#pragma once

#include "mrv/prompts.h"
#include "mrv_export.h"

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Mrv {

// One prompt as it was shown: kind is error, info, confirm, input, save or open; answer is what the
// prompt returned ("ok", "yes", "no", "cancel", the text or the paths joined by ";"), or
// "unanswered" when nothing was queued for it.
struct PromptRecord {
    std::string kind;
    std::string caption;
    std::string text;
    std::string answer;
};

// Prompts answered from queues instead of by a user: error and info boxes acknowledge themselves,
// the other kinds (confirm, input, save, open, folder, choice) take the next queued answer of their kind. A prompt with nothing queued answers
// cancel (No for a question) and is recorded as a failure, so a script can never pass by accident.
class MRV_API ScriptedPrompts : public Prompts {
public:
    void queueConfirm(bool yes);
    void queueInput(std::optional<std::string> text);        // nothing = cancel
    void queueSave(std::optional<std::string> path);         // nothing = cancel
    void queueOpen(std::optional<std::vector<std::string>> paths);  // nothing = cancel
    void queueFolder(std::optional<std::string> path);       // nothing = cancel
    void queueChoice(int button);                            // 1-based, as the script numbers buttons

    std::vector<PromptRecord> transcript() const;
    // One line per prompt that found no queued answer, naming it.
    std::vector<std::string> failures() const;
    // Answers queued and not yet taken, per kind name (confirm, input, save, open).
    std::size_t pending(const std::string& kind) const;

    ModalResult ask(const std::string& caption, const std::string& text, DialogType type) override;
    void error(const std::string& caption, const std::string& text) override;
    void inform(const std::string& caption, const std::string& text) override;
    std::optional<std::string> saveFile(const FileDialogOptions& options) override;
    std::optional<std::vector<std::string>> openFiles(const FileDialogOptions& options) override;
    std::optional<std::string> inputText(const std::string& caption, const std::string& prompt,
                                         const std::string& defaultText) override;
    // Recorded as kind folder (answer: the path or cancel) and choice (text: the question and its
    // buttons joined by " | "; answer: the button's text).
    std::optional<std::string> chooseFolder(const std::string& caption, const std::string& startFolder) override;
    int choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons,
               int defaultButton = 0) override;

private:
    void record(std::string kind, std::string caption, std::string text, std::string answer);
    void unanswered(const std::string& kind, const std::string& caption, const std::string& text);

    mutable std::mutex mutex_;
    std::deque<bool> confirms_;
    std::deque<std::optional<std::string>> inputs_;
    std::deque<std::optional<std::string>> saves_;
    std::deque<std::optional<std::vector<std::string>>> opens_;
    std::deque<std::optional<std::string>> folders_;
    std::deque<int> choices_;
    std::vector<PromptRecord> transcript_;
    std::vector<std::string> failures_;
};

} // namespace Mrv
