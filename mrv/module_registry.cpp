#include "mrv/module_registry.h"

#include <algorithm>
#include <mutex>

namespace Mrv {
namespace {
std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}
std::vector<std::string>& registry()
{
    static std::vector<std::string> modules;
    return modules;
}
} // namespace

void registerModule(const std::string& fileName)
{
    std::lock_guard lock(registryMutex());
    registry().push_back(fileName);
}

void unregisterModule(const std::string& fileName)
{
    std::lock_guard lock(registryMutex());
    auto& modules = registry();
    if (auto it = std::find(modules.begin(), modules.end(), fileName); it != modules.end())
        modules.erase(it);
}

std::vector<std::string> loadedModules()
{
    std::lock_guard lock(registryMutex());
    return registry();
}
} // namespace Mrv
