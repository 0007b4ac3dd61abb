#pragma once

#include <cstdint>

// The contract between a module and the host's module loader: the descriptor every module exports as
// PACKAGEINFO, and the unit table that GetPackageInfoTable returns.
namespace Mrv {

enum PackageFlags : std::uint32_t {
    pfNeverBuild = 0x0001,   // never rebuilt implicitly
    pfRunOnly = 0x0002,      // a run-time package, never a design-time one
    pfPackageModule = 0x0100 // a package module, not an executable
};

struct PackageUnitEntry {
    const char* name;
    void (*init)();
    void (*fini)();
};

struct PackageInfoTable {
    std::int32_t unitCount;
    const PackageUnitEntry* units;
};

struct PackageVersionInfo {
    std::uint16_t major, minor, release, build;  // 6.39.15.0
    const char* versionText;                     // "6.39.015"
    std::uint16_t language;                      // 0x0416, Portuguese (Brazil)
    std::uint16_t codePage;                      // 1252
};

struct PackageDescriptor {
    std::uint32_t magic;                 // packageMagic
    std::uint32_t flags;                 // PackageFlags
    std::int32_t requiresCount;
    const char* const* requiresNames;    // in load order
    std::int32_t containsCount;
    const char* const* containsNames;    // in unit order
    PackageVersionInfo version;
};

inline constexpr std::uint32_t packageMagic = 0x504B4731;  // "PKG1"

} // namespace Mrv

extern "C" {
// Exported by every module under these plain names.
using PackageProc = void (*)();
using GetPackageInfoTableProc = const Mrv::PackageInfoTable* (*)();
}
