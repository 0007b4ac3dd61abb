#pragma once

#include "mrv_export.h"

#include <cstdint>
#include <string>

// The host's own HTTP-mode settings, filled by the host at start from the application server's
// GetHttp row. The transfer worker reads them; the module's globals of the same names are separate.
namespace Dbgeral {
extern MRV_API bool boHttp;
extern MRV_API std::string SHttpPort;
extern MRV_API std::int32_t InHttpHttps;
} // namespace Dbgeral
