#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

// The times a batch download compares: a remote file's, as its listing or MDTM gives it, and a local
// file's.
namespace Cli_Vop31601 {

// A listing's time as the local time it reads: MS-DOS "01-15-24 03:45PM" (or a four-digit year) or
// Unix "Jan 15 15:45" (this year, or the last when that would be more than a day ahead of now) and
// "Jan 15  2023". Nothing when the text is neither.
std::optional<std::time_t> listedTime(const std::string& modification, std::time_t now);
// An MDTM reply, "213 20240115154500" (UTC, fractions ignored); nothing when it is not one.
std::optional<std::time_t> mdtmTime(const std::string& reply);

// The size and change time of a regular local file; nothing when there is none.
struct LocalFileStamp {
    std::int64_t size = 0;
    std::time_t modified = 0;
};
std::optional<LocalFileStamp> localFileStamp(const std::string& path);
// Gives the file the remote file's time, so that the next comparison reads both alike.
void setLocalModified(const std::string& path, std::time_t when);

} // namespace Cli_Vop31601
