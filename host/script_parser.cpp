#include "host/script_parser.h"

#include <QKeySequence>
#include <QString>

#include <charconv>

namespace Host {

namespace {

const char* const blanks = " \t\r\n";

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Splits off the first word; rest keeps its inner spaces.
std::pair<std::string, std::string> firstWord(const std::string& text)
{
    const auto end = text.find_first_of(" \t");
    if (end == std::string::npos)
        return {text, {}};
    return {text.substr(0, end), trim(text.substr(end))};
}

std::optional<long long> wholeNumber(const std::string& text)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

class LineParser {
public:
    LineParser(int line, std::string source) : line_(line), source_(std::move(source)) {}

    ScriptCommand parse()
    {
        ScriptCommand command;
        command.line = line_;
        command.source = source_;
        auto [name, rest] = firstWord(source_);
        if (name == "open" || name == "close" || name == "dblclick") {
            noArguments(name, rest);
            command.kind = name == "open" ? CommandKind::Open
                         : name == "close" ? CommandKind::Close : CommandKind::DblClick;
        } else if (name == "click") {
            command.kind = CommandKind::Click;
            command.text = oneWord(name, rest, "an object name");
        } else if (name == "key") {
            command.kind = CommandKind::Key;
            command.text = required(name, rest, "a key sequence");
            const QKeySequence sequence = QKeySequence::fromString(QString::fromStdString(command.text),
                                                                   QKeySequence::PortableText);
            if (sequence.isEmpty() || sequence[0] == QKeyCombination(Qt::Key_unknown))
                fail("'" + command.text + "' is not a key sequence");
        } else if (name == "type") {
            // The rest of the line, inner spaces included, typed into the focused widget.
            command.kind = CommandKind::Type;
            command.text = required(name, rest, "a text");
        } else if (name == "select") {
            parseSelect(command, rest);
        } else if (name == "title") {
            command.kind = CommandKind::Title;
            command.text = oneWord(name, rest, "a field name");
        } else if (name == "answer") {
            parseAnswer(command, rest);
        } else if (name == "wait") {
            parseWait(command, rest);
        } else if (name == "dump") {
            command.kind = CommandKind::Dump;
            command.text = rest;
        } else {
            fail("unknown command '" + name + "'");
        }
        return command;
    }

private:
    [[noreturn]] void fail(const std::string& message) const { throw ScriptError(line_, message); }

    void noArguments(const std::string& name, const std::string& rest) const
    {
        if (!rest.empty())
            fail("'" + name + "' takes no argument");
    }

    std::string required(const std::string& name, const std::string& rest, const std::string& what) const
    {
        if (rest.empty())
            fail("'" + name + "' needs " + what);
        return rest;
    }

    std::string oneWord(const std::string& name, const std::string& rest, const std::string& what) const
    {
        required(name, rest, what);
        if (rest.find_first_of(" \t") != std::string::npos)
            fail("'" + name + "' takes one word, " + what);
        return rest;
    }

    long long milliseconds(const std::string& text) const
    {
        const auto value = wholeNumber(text);
        if (!value)
            fail("'" + text + "' is not a number of milliseconds");
        return *value;
    }

    void parseSelect(ScriptCommand& command, const std::string& rest) const
    {
        auto [first, text] = firstWord(required("select", rest, "a row number or 'name <text>'"));
        if (first == "name") {
            command.kind = CommandKind::SelectName;
            command.text = required("select name", text, "a name");
            return;
        }
        const auto row = wholeNumber(rest);
        if (!row)
            fail("'select' needs a row number (0-based) or 'name <text>', not '" + rest + "'");
        command.kind = CommandKind::Select;
        command.number = *row;
    }

    void parseAnswer(ScriptCommand& command, const std::string& rest) const
    {
        auto [kind, value] = firstWord(required("answer", rest, "confirm, save, open, input, folder or choice"));
        command.cancel = value == "cancel";
        if (kind == "confirm") {
            if (value != "yes" && value != "no")
                fail("'answer confirm' needs yes or no");
            command.kind = CommandKind::AnswerConfirm;
            command.yes = value == "yes";
        } else if (kind == "save") {
            command.kind = CommandKind::AnswerSave;
            command.text = required("answer save", value, "a path or cancel");
        } else if (kind == "open") {
            command.kind = CommandKind::AnswerOpen;
            required("answer open", value, "paths separated by ';' or cancel");
            if (!command.cancel)
                splitPaths(value, command.paths);
        } else if (kind == "input") {
            // An empty text is a valid answer: the user pressed OK on an empty box.
            command.kind = CommandKind::AnswerInput;
            command.text = value;
        } else if (kind == "folder") {
            command.kind = CommandKind::AnswerFolder;
            command.text = required("answer folder", value, "a path or cancel");
        } else if (kind == "choice") {
            const auto button = wholeNumber(value);
            if (!button || *button < 1)
                fail("'answer choice' needs a button number (1-based), not '" + value + "'");
            command.kind = CommandKind::AnswerChoice;
            command.number = *button;
        } else {
            fail("'answer' needs confirm, save, open, input, folder or choice, not '" + kind + "'");
        }
    }

    void splitPaths(const std::string& value, std::vector<std::string>& paths) const
    {
        std::size_t start = 0;
        while (start <= value.size()) {
            const auto end = std::min(value.find(';', start), value.size());
            const std::string path = trim(value.substr(start, end - start));
            if (path.empty())
                fail("'answer open' has an empty path in '" + value + "'");
            paths.push_back(path);
            start = end + 1;
        }
    }

    void parseWait(ScriptCommand& command, const std::string& rest) const
    {
        auto [first, limit] = firstWord(required("wait", rest, "idle, progress or a number of milliseconds"));
        if (first == "status") {
            // wait status <text>: until the transfer panel shows that text (the rest of the line)
            command.kind = CommandKind::WaitStatus;
            command.text = required("wait status", limit, "a text");
            command.number = defaultIdleLimitMs;
            return;
        }
        if (first == "idle" || first == "progress") {
            command.kind = first == "idle" ? CommandKind::WaitIdle : CommandKind::WaitProgress;
            command.number = limit.empty() ? defaultIdleLimitMs : milliseconds(limit);
            return;
        }
        if (!limit.empty())
            fail("'wait' takes one number of milliseconds");
        command.kind = CommandKind::Wait;
        command.number = milliseconds(first);
    }

    int line_;
    std::string source_;
};

} // namespace

ScriptError::ScriptError(int line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line_(line)
{
}

std::vector<ScriptCommand> parseScript(const std::string& text)
{
    std::vector<ScriptCommand> commands;
    int line = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        ++line;
        const std::string source = trim(text.substr(start, end - start));
        start = end + 1;
        if (source.empty() || source.front() == '#')
            continue;
        commands.push_back(LineParser(line, source).parse());
    }
    return commands;
}

} // namespace Host
