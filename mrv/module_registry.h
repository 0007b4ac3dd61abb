#pragma once

#include "mrv_export.h"

#include <string>
#include <vector>

// The run-time's list of loaded modules: each module registers itself when the process maps it and
// unregisters when it is unmapped.
namespace Mrv {
MRV_API void registerModule(const std::string& fileName);
MRV_API void unregisterModule(const std::string& fileName);
MRV_API std::vector<std::string> loadedModules();
} // namespace Mrv
