#include "transfer/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <sstream>
#include <string_view>

namespace Cli_Vop31601 {
namespace {

// The calendar fields, or nothing when one is out of its range.
std::optional<std::tm> calendar(int year, int month, int day, int hour, int minute, int second = 0)
{
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 60)
        return std::nullopt;
    std::tm when{};
    when.tm_year = year - 1900;
    when.tm_mon = month - 1;
    when.tm_mday = day;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    when.tm_isdst = -1;
    return when;
}

std::optional<std::time_t> localTime(int year, int month, int day, int hour, int minute)
{
    auto when = calendar(year, month, day, hour, minute);
    if (!when)
        return std::nullopt;
    const std::time_t result = std::mktime(&*when);
    return result == static_cast<std::time_t>(-1) ? std::nullopt : std::optional<std::time_t>(result);
}

std::optional<std::time_t> msDosTime(const std::string& text)
{
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, used = 0;
    char half[3] = {};
    const int read = std::sscanf(text.c_str(), "%2d-%2d-%4d %2d:%2d%n%2[AaPpMm]%n", &month, &day, &year, &hour,
                                 &minute, &used, half, &used);
    if (read < 5 || static_cast<std::size_t>(used) != text.size())
        return std::nullopt;
    if (year < 100)
        year += year < 70 ? 2000 : 1900;
    if (read == 6) {
        // "03:45PM": twelve-hour time.
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (std::toupper(static_cast<unsigned char>(half[0])) == 'P' ? 12 : 0);
    }
    return localTime(year, month, day, hour, minute);
}

int monthNumber(std::string_view name)
{
    static const std::array<std::string_view, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                                          "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() != 3)
        return 0;
    for (std::size_t i = 0; i < months.size(); ++i) {
        bool same = true;
        for (std::size_t c = 0; c < 3; ++c)
            same = same && std::tolower(static_cast<unsigned char>(name[c])) == months[i][c];
        if (same)
            return static_cast<int>(i) + 1;
    }
    return 0;
}

std::optional<std::time_t> unixTime(const std::string& text, std::time_t now)
{
    std::istringstream in(text);
    std::string monthName, dayText, last, extra;
    if (!(in >> monthName >> dayText >> last) || (in >> extra))
        return std::nullopt;
    const int month = monthNumber(monthName);
    int day = 0, hour = 0, minute = 0, year = 0, used = 0;
    if (month == 0 || std::sscanf(dayText.c_str(), "%2d%n", &day, &used) != 1
        || static_cast<std::size_t>(used) != dayText.size())
        return std::nullopt;
    if (std::sscanf(last.c_str(), "%2d:%2d%n", &hour, &minute, &used) == 2 && static_cast<std::size_t>(used) == last.size()) {
        std::tm today{};
        localtime_r(&now, &today);
        year = today.tm_year + 1900;
        auto when = localTime(year, month, day, hour, minute);
        // Without a year the date is within the last twelve months.
        if (when && *when > now + 24 * 3600)
            when = localTime(year - 1, month, day, hour, minute);
        return when;
    }
    if (std::sscanf(last.c_str(), "%4d%n", &year, &used) == 1 && used == 4 && static_cast<std::size_t>(used) == last.size())
        return localTime(year, month, day, 0, 0);
    return std::nullopt;
}

} // namespace

std::optional<std::time_t> listedTime(const std::string& modification, std::time_t now)
{
    if (!modification.empty() && std::isdigit(static_cast<unsigned char>(modification[0])))
        return msDosTime(modification);
    return unixTime(modification, now);
}

std::optional<std::time_t> mdtmTime(const std::string& reply)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(reply.c_str(), "213 %4d%2d%2d%2d%2d%2d", &year, &month, &day, &hour, &minute, &second) != 6)
        return std::nullopt;
    auto when = calendar(year, month, day, hour, minute, second);
    if (!when)
        return std::nullopt;
    return timegm(&*when);
}

std::optional<LocalFileStamp> localFileStamp(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return LocalFileStamp{static_cast<std::int64_t>(status.st_size), status.st_mtime};
}

void setLocalModified(const std::string& path, std::time_t when)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

} // namespace Cli_Vop31601
