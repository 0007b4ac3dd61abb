// A minimal module for the loader tests; compile definitions make the broken variants.
#include "mrv/package_info.h"

#define EXPORTED extern "C" __attribute__((visibility("default")))

namespace {
const char* const requiredPackages[] = {"_mrv", "_rtl"};
const char* const containedUnits[] = {"TestModule"};
void noWork() {}
const Mrv::PackageUnitEntry units[] = {{"TestModule", noWork, noWork}};
const Mrv::PackageInfoTable table = {1, units};
} // namespace

#ifdef TEST_MODULE_BAD_MAGIC
constexpr std::uint32_t magic = 0x12345678;
#else
constexpr std::uint32_t magic = Mrv::packageMagic;
#endif

#ifdef TEST_MODULE_DESIGN_TIME
constexpr std::uint32_t flags = Mrv::pfNeverBuild | Mrv::pfPackageModule;
#else
constexpr std::uint32_t flags = Mrv::pfNeverBuild | Mrv::pfRunOnly | Mrv::pfPackageModule;
#endif

#ifdef TEST_MODULE_NULL_REQUIRES
constexpr const char* const* requiresList = nullptr;
#else
constexpr const char* const* requiresList = requiredPackages;
#endif

EXPORTED const Mrv::PackageDescriptor PACKAGEINFO = {
    magic, flags, 2, requiresList, 1, containedUnits, {6, 39, 15, 0, "6.39.015", 0x0416, 1252}};

extern "C" {
__attribute__((visibility("default"))) int initializeCalls = 0;
__attribute__((visibility("default"))) int finalizeCalls = 0;
__attribute__((visibility("default"))) int iniProcCalls = 0;
}

EXPORTED void Initialize() { ++initializeCalls; }
EXPORTED void Finalize() { ++finalizeCalls; }
EXPORTED const Mrv::PackageInfoTable* GetPackageInfoTable() { return &table; }

#ifndef TEST_MODULE_NO_INIPROC
EXPORTED void IniProc()
{ ++iniProcCalls; }
#endif
