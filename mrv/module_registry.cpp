#include "mrv/module_registry.h"

#include <algorithm>
#include <mutex>

namespace Mrv {
namespace {

// Modules unregister from their own destructors at process exit, which may run after this
// library's statics are gone: the registry remembers that it was destroyed and then ignores them.
struct Registry {
    std::mutex mutex;
    std::vector<std::string> modules;
    static inline bool destroyed = false;
    ~Registry() { destroyed = true; }
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void registerModule(const std::string& fileName)
{
    if (Registry::destroyed)
        return;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.modules.push_back(fileName);
}

void unregisterModule(const std::string& fileName)
{
    if (Registry::destroyed)
        return;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (auto it = std::find(r.modules.begin(), r.modules.end(), fileName); it != r.modules.end())
        r.modules.erase(it);
}

std::vector<std::string> loadedModules()
{
    if (Registry::destroyed)
        return {};
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return r.modules;
}

} // namespace Mrv
