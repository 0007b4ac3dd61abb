#pragma once

#include "mrv/package_info.h"
#include "mrv_export.h"

#include <string>

// The host library's units, each with a start and a stop routine that keep a use counter: the
// start counts down and works only on the first call, the stop counts up and works only on the call
// that balances that first start. Every module that uses a unit lists it in its own unit table.
namespace Mrv {

// The host library's units in dependency order.
MRV_API const PackageUnitEntry* hostLibraryUnits(int& count);
// A unit's use counter: 0 when not started, -N while N modules have started it.
MRV_API int unitUseCount(const std::string& unitName);

} // namespace Mrv
