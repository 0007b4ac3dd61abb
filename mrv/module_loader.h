#pragma once

#include "mrv/package_info.h"
#include "mrv_export.h"

#include <stdexcept>
#include <string>
#include <vector>

// Loads a module into the host process: checks its descriptor, runs its unit start routines and
// finds its entries. The module stays mapped after Finalize, because objects it created (Qt
// meta-objects among them) may outlive the unload.
namespace Mrv {

class MRV_API ModuleLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class MRV_API LoadedModule {
public:
    // Throws ModuleLoadError naming the file and what is wrong with it.
    explicit LoadedModule(const std::string& path);
    ~LoadedModule();

    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::string& path() const { return path_; }
    const PackageDescriptor& descriptor() const { return *descriptor_; }
    std::vector<std::string> requiredPackages() const;
    std::vector<std::string> containedUnits() const;

    // Calls the module's IniProc; whatever it throws reaches the caller.
    void iniProc() const;

    // Address of an exported symbol, or nullptr when the module has none by that name.
    void* symbol(const std::string& name) const;

    // Exported data of type T; throws ModuleLoadError when the module lacks it.
    template <typename T>
    T& data(const std::string& name) const
    {
        void* address = symbol(name);
        if (!address)
            throw ModuleLoadError(path_ + ": the module exports no '" + name + "'");
        return *static_cast<T*>(address);
    }

private:
    std::string path_;
    void* handle_ = nullptr;
    const PackageDescriptor* descriptor_ = nullptr;
    PackageProc iniProc_ = nullptr;
    PackageProc finalize_ = nullptr;
};

} // namespace Mrv
