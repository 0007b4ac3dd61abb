#include "appserver/dos_listing.h"

#include "appserver/store_paths.h"

#include <Poco/TextConverter.h>
#include <Poco/UTF8Encoding.h>
#include <Poco/Windows1252Encoding.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <sys/stat.h>

namespace AppServer {

std::string dosListingLine(const std::string& name, bool directory, std::uint64_t size, std::time_t modified)
{
    std::tm local {};
    ::localtime_r(&modified, &local);
    char stamp[32];
    // The process keeps the C locale, so %p is AM/PM.
    std::strftime(stamp, sizeof stamp, "%m-%d-%y  %I:%M%p", &local);
    char column[32];
    if (directory)
        std::snprintf(column, sizeof column, "       <DIR>         ");
    else
        std::snprintf(column, sizeof column, "%21llu", static_cast<unsigned long long>(size));
    return std::string(stamp) + column + " " + name;
}

std::string dosListing(const std::string& realDir, const StorePaths& paths)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(realDir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());

    std::string utf8;
    for (const auto& name : names) {
        // A name with a line end, made on the disk or through FTP, would forge listing lines.
        if (name.rfind(uploadTempPrefix, 0) == 0 || hasControlCharacter(name))
            continue;
        const std::string path = realDir + "/" + name;
        struct stat info {};
        if (!paths.inside(path) || ::stat(path.c_str(), &info) != 0)
            continue;
        utf8 += dosListingLine(name, S_ISDIR(info.st_mode), static_cast<std::uint64_t>(info.st_size), info.st_mtime) + "\r\n";
    }
    Poco::UTF8Encoding from;
    Poco::Windows1252Encoding to;
    Poco::TextConverter converter(from, to, '?');
    std::string cp1252;
    converter.convert(utf8, cp1252);
    return cp1252;
}

} // namespace AppServer
