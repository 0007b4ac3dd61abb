#pragma once

#include <QJsonObject>

#include <string>

class QMdiArea;

namespace Mrv {
class LoadedModule;
class ScriptedPrompts;
}

// The driver's `dump`: the screen's state, every prompt shown so far and the module globals, as one
// JSON object.
namespace Host {

QJsonObject moduleGlobals(const Mrv::LoadedModule& module);
QJsonObject stateDump(QMdiArea* area, const Mrv::LoadedModule& module, const Mrv::ScriptedPrompts& prompts);
// One line of compact JSON followed by a newline.
std::string dumpLine(const QJsonObject& dump);

} // namespace Host
