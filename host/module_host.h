#pragma once

#include "mrv/module_loader.h"

#include <memory>
#include <string>
#include <vector>

// The host's loaded modules: each file is loaded once, on first use, and kept until the host ends.
namespace Host {

class ModuleHost {
public:
    explicit ModuleHost(std::string defaultPath) : defaultPath_(std::move(defaultPath)) {}
    ~ModuleHost();

    const std::string& defaultPath() const { return defaultPath_; }

    // Loads the module when needed; throws Mrv::ModuleLoadError.
    Mrv::LoadedModule& module(const std::string& path);
    Mrv::LoadedModule& module() { return module(defaultPath_); }
    // The module when it is loaded already, else nullptr.
    Mrv::LoadedModule* loaded(const std::string& path) const;

    // Loads the module when needed and calls IniProc. A load failure throws ModuleLoadError; an
    // exception out of IniProc goes to the application's standard report.
    void open(const std::string& path);
    void open() { open(defaultPath_); }

private:
    std::string defaultPath_;
    std::vector<std::unique_ptr<Mrv::LoadedModule>> modules_;  // in load order
};

} // namespace Host
