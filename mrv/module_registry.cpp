#include "mrv/module_registry.h"

#include "mrv/exit_safe_static.h"

#include <algorithm>
#include <mutex>

namespace Mrv {
namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::string> modules;
};

using TheRegistry = ExitSafeStatic<Registry>;

} // namespace

void registerModule(const std::string& fileName)
{
    if (Registry* r = TheRegistry::get()) {
        std::lock_guard lock(r->mutex);
        r->modules.push_back(fileName);
    }
}

void unregisterModule(const std::string& fileName)
{
    if (Registry* r = TheRegistry::get()) {
        std::lock_guard lock(r->mutex);
        if (auto it = std::find(r->modules.begin(), r->modules.end(), fileName); it != r->modules.end())
            r->modules.erase(it);
    }
}

std::vector<std::string> loadedModules()
{
    Registry* r = TheRegistry::get();
    if (!r)
        return {};
    std::lock_guard lock(r->mutex);
    return r->modules;
}

} // namespace Mrv
