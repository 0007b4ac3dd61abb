#include "mrv/scripted_screen.h"

#include <map>

namespace Mrv {
namespace {

// A screen may outlive this library's statics at process exit: the registry then ignores it.
struct Registry {
    std::map<const QObject*, ScriptedScreen*> screens;
    static inline bool destroyed = false;
    ~Registry() { destroyed = true; }
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void registerScriptedScreen(const QObject* screen, ScriptedScreen* scripted)
{
    if (!Registry::destroyed)
        registry().screens[screen] = scripted;
}

void unregisterScriptedScreen(const QObject* screen)
{
    if (!Registry::destroyed)
        registry().screens.erase(screen);
}

ScriptedScreen* scriptedScreen(const QObject* screen)
{
    if (Registry::destroyed)
        return nullptr;
    const auto found = registry().screens.find(screen);
    return found == registry().screens.end() ? nullptr : found->second;
}

} // namespace Mrv
