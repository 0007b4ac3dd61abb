#pragma once

#include <string>

namespace AppServer {

// The Portuguese text of an errno value, for error replies a user reads ("Permissão negada").
// The process keeps the C locale, so strerror would answer in English.
std::string systemErrorText(int error);

} // namespace AppServer
