#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The automation script: one command a line, a line whose first non-blank character is '#' is a
// comment. The whole script is parsed before anything runs, so a typo fails at once.
namespace Host {

enum class CommandKind {
    Open,
    Close,
    Click,
    Key,
    Select,
    SelectName,
    DblClick,
    Title,
    AnswerConfirm,
    AnswerSave,
    AnswerOpen,
    AnswerInput,
    AnswerFolder,
    AnswerChoice,
    Type,
    WaitIdle,
    WaitProgress,
    WaitStatus,
    Wait,
    Dump,
};

struct ScriptCommand {
    int line = 0;            // 1-based line in the script file
    std::string source;      // the line as written, for messages
    CommandKind kind = CommandKind::Open;
    std::string text;        // object name, key sequence, name, field, input text, path, dump file
    std::vector<std::string> paths;  // AnswerOpen
    long long number = 0;    // row (Select), button (AnswerChoice, 1-based) or milliseconds (Wait, WaitIdle)
    bool yes = false;        // AnswerConfirm
    bool cancel = false;     // Answer* of save, open, input, folder
};

class ScriptError : public std::runtime_error {
public:
    ScriptError(int line, const std::string& message);
    int line() const { return line_; }

private:
    int line_;
};

inline constexpr long long defaultIdleLimitMs = 60000;

std::vector<ScriptCommand> parseScript(const std::string& text);

} // namespace Host
