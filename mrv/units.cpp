#include "mrv/units.h"

#include <array>
#include <atomic>
#include <cstring>

namespace Mrv {
namespace {

// One counter per unit; only the first start and the balancing stop do the unit's work (none of
// these units has work of its own: their state is initialised statically).
template <int N>
struct UnitCounter {
    static inline std::atomic<int> count{0};
    static void start() { --count; }
    static void stop() { ++count; }
};

#define MRV_UNIT(index, name) PackageUnitEntry{name, &UnitCounter<index>::start, &UnitCounter<index>::stop}

const std::array<PackageUnitEntry, 11> units{{
    MRV_UNIT(0, "Prompts"),
    MRV_UNIT(1, "Application"),
    MRV_UNIT(2, "Dbgeral"),
    MRV_UNIT(3, "Quelbar"),
    MRV_UNIT(4, "Messages"),
    MRV_UNIT(5, "Consiste"),
    MRV_UNIT(6, "Showavi"),
    MRV_UNIT(7, "NetConnection"),
    MRV_UNIT(8, "ButtonFlat"),
    MRV_UNIT(9, "FileDialogs"),
    MRV_UNIT(10, "RotiGeral"),
}};

#undef MRV_UNIT

template <int... I>
int countOf(const std::string& name, std::integer_sequence<int, I...>)
{
    int result = 0;
    ((name == units[I].name ? (result = UnitCounter<I>::count.load(), 0) : 0), ...);
    return result;
}

} // namespace

const PackageUnitEntry* hostLibraryUnits(int& count)
{
    count = static_cast<int>(units.size());
    return units.data();
}

int unitUseCount(const std::string& unitName)
{
    return countOf(unitName, std::make_integer_sequence<int, 11>{});
}

} // namespace Mrv
