#include "mrv/module_loader.h"

#include <dlfcn.h>

namespace Mrv {

namespace {

std::vector<std::string> nameList(const char* const* names, std::int32_t count)
{
    std::vector<std::string> result;
    for (std::int32_t i = 0; i < count; ++i)
        result.emplace_back(names[i]);
    return result;
}

// A count with a null list, or a null name inside it, would crash whoever walks the list later.
bool readableList(const char* const* names, std::int32_t count)
{
    if (count < 0 || (count > 0 && !names))
        return false;
    for (std::int32_t i = 0; i < count; ++i)
        if (!names[i])
            return false;
    return true;
}

std::string checkDescriptor(const PackageDescriptor& d)
{
    if (d.magic != packageMagic)
        return "its PACKAGEINFO is not a package descriptor (bad magic)";
    if (!(d.flags & pfPackageModule))
        return "its PACKAGEINFO does not mark it as a package module";
    if (!(d.flags & pfRunOnly))
        return "its PACKAGEINFO does not mark it as a run-time package";
    if (!readableList(d.requiresNames, d.requiresCount))
        return "its PACKAGEINFO requires list is unreadable";
    if (!readableList(d.containsNames, d.containsCount))
        return "its PACKAGEINFO contains list is unreadable";
    return {};
}

} // namespace

LoadedModule::LoadedModule(const std::string& path) : path_(path)
{
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_NODELETE);
    if (!handle_) {
        const char* why = dlerror();
        throw ModuleLoadError("cannot load module " + path + ": " + (why ? why : "unknown error"));
    }
    auto fail = [this](const std::string& why) {
        dlclose(handle_);
        handle_ = nullptr;
        throw ModuleLoadError("module " + path_ + ": " + why);
    };
    descriptor_ = static_cast<const PackageDescriptor*>(symbol("PACKAGEINFO"));
    if (!descriptor_)
        fail("it exports no PACKAGEINFO");
    if (auto problem = checkDescriptor(*descriptor_); !problem.empty())
        fail(problem);
    // All entries are found before Initialize runs, so a rejected module never needs a Finalize.
    auto initialize = reinterpret_cast<PackageProc>(symbol("Initialize"));
    finalize_ = reinterpret_cast<PackageProc>(symbol("Finalize"));
    iniProc_ = reinterpret_cast<PackageProc>(symbol("IniProc"));
    if (!initialize)
        fail("it exports no Initialize");
    if (!finalize_)
        fail("it exports no Finalize");
    if (!iniProc_)
        fail("it exports no IniProc");
    try {
        initialize();
    } catch (const std::exception& e) {
        fail(std::string("Initialize failed: ") + e.what());
    }
}

LoadedModule::~LoadedModule()
{
    if (!handle_)
        return;
    try {
        finalize_();
    } catch (...) {
        // a destructor must not throw; the module is going away regardless
    }
    dlclose(handle_);
}

std::vector<std::string> LoadedModule::requiredPackages() const
{
    return nameList(descriptor_->requiresNames, descriptor_->requiresCount);
}

std::vector<std::string> LoadedModule::containedUnits() const
{
    return nameList(descriptor_->containsNames, descriptor_->containsCount);
}

void LoadedModule::iniProc() const { iniProc_(); }

void* LoadedModule::symbol(const std::string& name) const { return dlsym(handle_, name.c_str()); }

} // namespace Mrv
