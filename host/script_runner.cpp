#include "host/script_runner.h"

#include "host/module_host.h"
#include "mrv/scripted_prompts.h"

#include <QCoreApplication>
#include <QEvent>

#include <stdexcept>

namespace Host {

namespace {

// A failure of the command itself, as opposed to one of the module's own exceptions.
class CommandFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace

ScriptRunner::ScriptRunner(QMdiArea* area, ModuleHost& modules, Mrv::ScriptedPrompts& prompts)
    : area_(area), modules_(modules), prompts_(prompts)
{
}

int ScriptRunner::run(const std::vector<ScriptCommand>& commands)
{
    failuresSeen_ = prompts_.failures().size();
    for (const ScriptCommand& command : commands) {
        try {
            execute(command);
            settle();
            checkPrompts();
        } catch (const std::exception& e) {
            error_ = "line " + std::to_string(command.line) + " (" + command.source + "): " + e.what();
            return 1;
        }
    }
    return 0;
}

void ScriptRunner::fail(const QString& message) const { throw CommandFailed(message.toStdString()); }

// Runs what the command set off, including deferred deletes, so that a closed screen is gone before
// the next line looks for it.
void ScriptRunner::settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void ScriptRunner::checkPrompts()
{
    const auto failures = prompts_.failures();
    if (failures.size() > failuresSeen_) {
        failuresSeen_ = failures.size();
        fail(QString::fromStdString(failures.back()));
    }
}

void ScriptRunner::execute(const ScriptCommand& command)
{
    switch (command.kind) {
    case CommandKind::Open: open(); break;
    case CommandKind::Close: close(); break;
    case CommandKind::Click: click(command.text); break;
    case CommandKind::Key: key(command.text); break;
    case CommandKind::Select: selectRow(command.number); break;
    case CommandKind::SelectName: selectName(command.text); break;
    case CommandKind::DblClick: doubleClick(); break;
    case CommandKind::Title: title(command.text); break;
    case CommandKind::AnswerConfirm: prompts_.queueConfirm(command.yes); break;
    case CommandKind::AnswerSave:
        prompts_.queueSave(command.cancel ? std::nullopt : std::optional(command.text));
        break;
    case CommandKind::AnswerOpen:
        prompts_.queueOpen(command.cancel ? std::nullopt : std::optional(command.paths));
        break;
    case CommandKind::AnswerFolder:
        prompts_.queueFolder(command.cancel ? std::nullopt : std::optional(command.text));
        break;
    case CommandKind::AnswerChoice: prompts_.queueChoice(static_cast<int>(command.number)); break;
    case CommandKind::Type: type(command.text); break;
    case CommandKind::AnswerInput:
        prompts_.queueInput(command.cancel ? std::nullopt : std::optional(command.text));
        break;
    case CommandKind::WaitIdle: waitIdle(command.number); break;
    case CommandKind::WaitProgress: waitProgress(command.number); break;
    case CommandKind::WaitStatus: waitStatus(command.text, command.number); break;
    case CommandKind::Wait: wait(command.number); break;
    case CommandKind::Dump: dump(command.text); break;
    }
}

} // namespace Host
