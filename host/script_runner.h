#pragma once

#include "host/script_parser.h"

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

class QMdiArea;
class QTableView;
class QWidget;

namespace Mrv {
class ScriptedPrompts;
}

namespace Host {

class ModuleHost;

// Runs a parsed script against the live host, one command at a time, settling pending events after
// each. Must be called from inside the running event loop.
class ScriptRunner {
public:
    ScriptRunner(QMdiArea* area, ModuleHost& modules, Mrv::ScriptedPrompts& prompts);

    // 0 when every command ran; otherwise 1, with the reason (naming the line) in error().
    int run(const std::vector<ScriptCommand>& commands);
    const std::string& error() const { return error_; }

private:
    void execute(const ScriptCommand& command);
    void settle();
    void checkPrompts();

    void open();
    void close();
    void click(const std::string& objectName);
    void key(const std::string& sequence);
    void type(const std::string& text);
    void selectRow(long long row);
    void selectName(const std::string& name);
    void doubleClick();
    void title(const std::string& field);
    void waitIdle(long long limitMs);
    void waitProgress(long long limitMs);
    void waitStatus(const std::string& text, long long limitMs);
    void wait(long long ms);
    void dump(const std::string& file);

    QWidget* screen() const;        // throws when no screen is open
    QTableView* grid() const;       // throws when the screen has no grid
    [[noreturn]] void fail(const QString& message) const;

    QMdiArea* area_;
    ModuleHost& modules_;
    Mrv::ScriptedPrompts& prompts_;
    std::size_t failuresSeen_ = 0;
    std::string error_;
};

} // namespace Host
