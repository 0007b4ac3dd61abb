#pragma once

#include "platform/ftp/id_ftp.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace FtpTest {

// Deterministic bytes that are not a short repeating pattern, so a lost or doubled block shows.
inline std::string patternBytes(std::size_t size, std::uint64_t seed = 1)
{
    std::string out(size, '\0');
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (std::size_t i = 0; i < size; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        for (std::size_t k = 0; k < 8 && i + k < size; ++k)
            out[i + k] = static_cast<char>(x >> (8 * k));
    }
    return out;
}

inline void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Everything a client reports through its events, in order.
struct EventLog {
    std::vector<Platform::TIdStatus> statuses;
    std::vector<std::int64_t> begins;
    std::vector<std::int64_t> counts;
    int ends = 0;

    void attach(Platform::TIdFTP& ftp)
    {
        ftp.OnStatus = [this](Platform::TIdStatus s, const std::string&) { statuses.push_back(s); };
        ftp.OnWorkBegin = [this](Platform::TWorkMode, std::int64_t expected) { begins.push_back(expected); };
        ftp.OnWork = [this](Platform::TWorkMode, std::int64_t count) { counts.push_back(count); };
        ftp.OnWorkEnd = [this](Platform::TWorkMode) { ++ends; };
    }
    bool saw(Platform::TIdStatus s) const
    {
        for (auto x : statuses)
            if (x == s)
                return true;
        return false;
    }
};

} // namespace FtpTest
