#include "mrv/scripted_screen.h"

#include "mrv/exit_safe_static.h"

#include <map>

namespace Mrv {
namespace {

using Screens = ExitSafeStatic<std::map<const QObject*, ScriptedScreen*>>;

} // namespace

void registerScriptedScreen(const QObject* screen, ScriptedScreen* scripted)
{
    if (auto* screens = Screens::get())
        (*screens)[screen] = scripted;
}

void unregisterScriptedScreen(const QObject* screen)
{
    if (auto* screens = Screens::get())
        screens->erase(screen);
}

ScriptedScreen* scriptedScreen(const QObject* screen)
{
    auto* screens = Screens::get();
    if (!screens)
        return nullptr;
    const auto found = screens->find(screen);
    return found == screens->end() ? nullptr : found->second;
}

} // namespace Mrv
