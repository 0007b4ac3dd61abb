#include "mrv/scripted_prompts.h"

namespace Mrv {

namespace {

const char* const unansweredText = "unanswered";

std::string joinPaths(const std::vector<std::string>& paths)
{
    std::string joined;
    for (const auto& path : paths) {
        if (!joined.empty())
            joined += ';';
        joined += path;
    }
    return joined;
}

} // namespace

void ScriptedPrompts::queueConfirm(bool yes)
{
    std::lock_guard lock(mutex_);
    confirms_.push_back(yes);
}

void ScriptedPrompts::queueInput(std::optional<std::string> text)
{
    std::lock_guard lock(mutex_);
    inputs_.push_back(std::move(text));
}

void ScriptedPrompts::queueSave(std::optional<std::string> path)
{
    std::lock_guard lock(mutex_);
    saves_.push_back(std::move(path));
}

void ScriptedPrompts::queueOpen(std::optional<std::vector<std::string>> paths)
{
    std::lock_guard lock(mutex_);
    opens_.push_back(std::move(paths));
}

void ScriptedPrompts::queueFolder(std::optional<std::string> path)
{
    std::lock_guard lock(mutex_);
    folders_.push_back(std::move(path));
}

void ScriptedPrompts::queueChoice(int button)
{
    std::lock_guard lock(mutex_);
    choices_.push_back(button);
}

std::vector<PromptRecord> ScriptedPrompts::transcript() const
{
    std::lock_guard lock(mutex_);
    return transcript_;
}

std::vector<std::string> ScriptedPrompts::failures() const
{
    std::lock_guard lock(mutex_);
    return failures_;
}

std::size_t ScriptedPrompts::pending(const std::string& kind) const
{
    std::lock_guard lock(mutex_);
    if (kind == "confirm")
        return confirms_.size();
    if (kind == "input")
        return inputs_.size();
    if (kind == "save")
        return saves_.size();
    if (kind == "open")
        return opens_.size();
    if (kind == "folder")
        return folders_.size();
    if (kind == "choice")
        return choices_.size();
    return 0;
}

// Callers hold mutex_.
void ScriptedPrompts::record(std::string kind, std::string caption, std::string text, std::string answer)
{
    transcript_.push_back({std::move(kind), std::move(caption), std::move(text), std::move(answer)});
}

void ScriptedPrompts::unanswered(const std::string& kind, const std::string& caption, const std::string& text)
{
    failures_.push_back("unanswered " + kind + " prompt \"" + caption + "\": " + text);
    record(kind, caption, text, unansweredText);
}

ModalResult ScriptedPrompts::ask(const std::string& caption, const std::string& text, DialogType)
{
    std::lock_guard lock(mutex_);
    if (confirms_.empty()) {
        unanswered("confirm", caption, text);
        return ModalResult::No;
    }
    const bool yes = confirms_.front();
    confirms_.pop_front();
    record("confirm", caption, text, yes ? "yes" : "no");
    return yes ? ModalResult::Yes : ModalResult::No;
}

void ScriptedPrompts::error(const std::string& caption, const std::string& text)
{
    std::lock_guard lock(mutex_);
    record("error", caption, text, "ok");
}

void ScriptedPrompts::inform(const std::string& caption, const std::string& text)
{
    std::lock_guard lock(mutex_);
    record("info", caption, text, "ok");
}

std::optional<std::string> ScriptedPrompts::saveFile(const FileDialogOptions& options)
{
    std::lock_guard lock(mutex_);
    if (saves_.empty()) {
        unanswered("save", options.title, options.fileName);
        return std::nullopt;
    }
    auto answer = std::move(saves_.front());
    saves_.pop_front();
    record("save", options.title, options.fileName, answer ? *answer : "cancel");
    return answer;
}

std::optional<std::vector<std::string>> ScriptedPrompts::openFiles(const FileDialogOptions& options)
{
    std::lock_guard lock(mutex_);
    if (opens_.empty()) {
        unanswered("open", options.title, options.fileName);
        return std::nullopt;
    }
    auto answer = std::move(opens_.front());
    opens_.pop_front();
    // A single-selection dialog cannot return several files: keep the first, as a user could.
    if (answer && !options.multiSelect && answer->size() > 1)
        answer->resize(1);
    record("open", options.title, options.fileName, answer ? joinPaths(*answer) : "cancel");
    return answer;
}

std::optional<std::string> ScriptedPrompts::inputText(const std::string& caption, const std::string& prompt,
                                                      const std::string&)
{
    std::lock_guard lock(mutex_);
    if (inputs_.empty()) {
        unanswered("input", caption, prompt);
        return std::nullopt;
    }
    auto answer = std::move(inputs_.front());
    inputs_.pop_front();
    record("input", caption, prompt, answer ? *answer : "cancel");
    return answer;
}

std::optional<std::string> ScriptedPrompts::chooseFolder(const std::string& caption, const std::string& startFolder)
{
    std::lock_guard lock(mutex_);
    if (folders_.empty()) {
        unanswered("folder", caption, startFolder);
        return std::nullopt;
    }
    auto answer = std::move(folders_.front());
    folders_.pop_front();
    record("folder", caption, startFolder, answer ? *answer : "cancel");
    return answer;
}

int ScriptedPrompts::choose(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons,
                            int /*defaultButton*/)
{
    std::lock_guard lock(mutex_);
    std::string shown = text;
    for (const std::string& button : buttons)
        shown += (&button == &buttons.front() ? "\n" : " | ") + button;
    if (choices_.empty()) {
        unanswered("choice", caption, shown);
        return -1;
    }
    const int button = choices_.front();
    choices_.pop_front();
    if (button < 1 || button > static_cast<int>(buttons.size())) {
        failures_.push_back("choice " + std::to_string(button) + " for a question with "
                            + std::to_string(buttons.size()) + " buttons: \"" + caption + "\"");
        record("choice", caption, shown, unansweredText);
        return -1;
    }
    record("choice", caption, shown, buttons[static_cast<std::size_t>(button - 1)]);
    return button - 1;
}

} // namespace Mrv
