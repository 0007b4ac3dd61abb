#pragma once

#include "mrv_export.h"

#include <string>

// Where the application server is. The host sets it from its command line (--server HOST:PORT).
namespace Quelbar {
MRV_API std::string WebURL();
MRV_API int WebPort();
MRV_API void SetWebServer(const std::string& host, int port);
} // namespace Quelbar
