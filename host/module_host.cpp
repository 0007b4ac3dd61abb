#include "host/module_host.h"

#include "mrv/application.h"

namespace Host {

ModuleHost::~ModuleHost()
{
    // Finalize in reverse order of loading, as a package list is torn down.
    while (!modules_.empty())
        modules_.pop_back();
}

Mrv::LoadedModule& ModuleHost::module(const std::string& path)
{
    if (Mrv::LoadedModule* found = loaded(path))
        return *found;
    modules_.push_back(std::make_unique<Mrv::LoadedModule>(path));
    return *modules_.back();
}

Mrv::LoadedModule* ModuleHost::loaded(const std::string& path) const
{
    for (const auto& module : modules_)
        if (module->path() == path)
            return module.get();
    return nullptr;
}

void ModuleHost::open(const std::string& path)
{
    Mrv::LoadedModule& loadedModule = module(path);
    try {
        loadedModule.iniProc();
    } catch (...) {
        Mrv::Application::instance().handleException(std::current_exception());
    }
}

} // namespace Host
