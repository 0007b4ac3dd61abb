#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace AppServer {

class StorePaths;

// One line in the MS-DOS listing style: "01-15-24  03:45PM       <DIR>          name" or the size
// right-aligned in place of the marker. UTF-8 in, no line end.
std::string dosListingLine(const std::string& name, bool directory, std::uint64_t size, std::time_t modified);

// The listing of a real directory inside the store, sorted by name, CRLF line ends, CP1252.
// Entries that lead out of the store (symlinks), dangling links, unfinished uploads and names with
// control characters are left out.
std::string dosListing(const std::string& realDir, const StorePaths& paths);

// Uploads are written under this prefix and renamed when complete.
inline constexpr const char* uploadTempPrefix = ".vop-upload-";

} // namespace AppServer
