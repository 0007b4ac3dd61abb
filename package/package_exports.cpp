// The package's main unit: the exported entries, the descriptor, the unit table and the module's
// registration with the host library.
#include "package/module_globals.h"
#include "screen/ctrl_arq_xml_nfe.h"

#include "mrv/module_registry.h"
#include "mrv/package_info.h"
#include "mrv/units.h"

#include <array>
#include <atomic>
#include <dlfcn.h>
#include <vector>

namespace {

const char* const requiresList[] = {"_mrv", "_rtl", "_qr", "_lib", "_vop", "_frm", "_db", "_vcl"};
const char* const containsList[] = {"Pkg_Vop31600", "Cli_Vop31601", "Cli_Vop31600", "SysInit"};

// The module's own units keep a use counter like the host library's.
std::atomic<int> cliVop31601Count{0};
std::atomic<int> cliVop31600Count{0};

void cliVop31601Start() { --cliVop31601Count; }
void cliVop31601Stop() { ++cliVop31601Count; }
void cliVop31600Start()
{
    if (--cliVop31600Count == -1)
        Cli_Vop31600::UnitStart();
}
void cliVop31600Stop()
{
    if (++cliVop31600Count == 0)
        Cli_Vop31600::UnitStop();
}

const std::vector<Mrv::PackageUnitEntry>& unitTable()
{
    static const std::vector<Mrv::PackageUnitEntry> table = [] {
        int count = 0;
        const Mrv::PackageUnitEntry* hostUnits = Mrv::hostLibraryUnits(count);
        std::vector<Mrv::PackageUnitEntry> units(hostUnits, hostUnits + count);
        units.push_back({"Cli_Vop31601", &cliVop31601Start, &cliVop31601Stop});
        units.push_back({"Cli_Vop31600", &cliVop31600Start, &cliVop31600Stop});
        return units;
    }();
    return table;
}

std::string ownFileName()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownFileName), &info) && info.dli_fname)
        return info.dli_fname;
    return "Pkg_Vop31600.so";
}

__attribute__((constructor)) void processAttach() { Mrv::registerModule(ownFileName()); }
__attribute__((destructor)) void processDetach() { Mrv::unregisterModule(ownFileName()); }

} // namespace

extern "C" {

// Declared extern first: a namespace-scope const would otherwise be local to this file.
MODULE_API extern const Mrv::PackageDescriptor PACKAGEINFO;
const Mrv::PackageDescriptor PACKAGEINFO = {
    Mrv::packageMagic,
    Mrv::pfNeverBuild | Mrv::pfRunOnly | Mrv::pfPackageModule,
    static_cast<std::int32_t>(std::size(requiresList)),
    requiresList,
    static_cast<std::int32_t>(std::size(containsList)),
    containsList,
    {6, 39, 15, 0, "6.39.015", 0x0416, 1252},
};

MODULE_API void Initialize()
{
    for (const auto& unit : unitTable())
        unit.init();
}

MODULE_API void Finalize()
{
    const auto& units = unitTable();
    for (auto it = units.rbegin(); it != units.rend(); ++it)
        it->fini();
}

MODULE_API const Mrv::PackageInfoTable* GetPackageInfoTable()
{
    static Mrv::PackageInfoTable table{static_cast<std::int32_t>(unitTable().size()), unitTable().data()};
    return &table;
}

MODULE_API void IniProc() { Cli_Vop31600::CriaCtrlArqXMLNFe(); }

} // extern "C"
