#pragma once

#include <iosfwd>

namespace Host {

// At start, as a suite does at log-in: fills Dbgeral::boHttp, SHttpPort and InHttpHttps from the first
// row of the application server's GetHttp. A failure is reported on `warnings` and leaves them at
// their defaults.
void loadHostHttpSettings(std::ostream& warnings);

} // namespace Host
