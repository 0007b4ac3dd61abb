#pragma once

namespace Platform {

// The direction of a transfer, as the FTP and HTTP clients report it in their work events.
enum class TWorkMode { wmRead = 0, wmWrite = 1 };

} // namespace Platform
