#include "transfer/tree_paths.h"

#include <algorithm>

namespace Cli_Vop31601 {
namespace {

constexpr std::uint64_t kFnvOffset = 1469598103934665603ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

void mix(std::uint64_t& hash, unsigned char byte)
{
    hash ^= byte;
    hash *= kFnvPrime;
}

} // namespace

std::string joinRemote(const std::string& base, const std::string& relative)
{
    if (relative.empty())
        return base;
    if (base.empty() || base.back() == '/')
        return base + relative;
    return base + "/" + relative;
}

std::string parentOf(const std::string& relative)
{
    const auto slash = relative.rfind('/');
    return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::string leafOf(const std::string& relative)
{
    const auto slash = relative.rfind('/');
    return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

std::string below(const std::string& relative, const std::string& name)
{
    return relative.empty() ? name : relative + "/" + name;
}

std::uint64_t digestOf(const std::vector<std::string>& lines)
{
    std::uint64_t hash = kFnvOffset;
    for (const std::string& line : lines) {
        for (char c : line)
            mix(hash, static_cast<unsigned char>(c));
        mix(hash, '\n');
    }
    return hash;
}

std::uint64_t digestOf(std::uint64_t device, std::uint64_t inode)
{
    std::uint64_t hash = kFnvOffset;
    for (std::uint64_t part : {device, inode})
        for (int shift = 0; shift < 64; shift += 8)
            mix(hash, static_cast<unsigned char>(part >> shift));
    return hash;
}

bool walkedAbove(const CrewTask& task, std::uint64_t id)
{
    return task.above && std::find(task.above->begin(), task.above->end(), id) != task.above->end();
}

std::shared_ptr<const std::vector<std::uint64_t>> withBelow(const CrewTask& task, std::uint64_t id)
{
    auto chain = task.above ? std::make_shared<std::vector<std::uint64_t>>(*task.above)
                            : std::make_shared<std::vector<std::uint64_t>>();
    chain->push_back(id);
    return chain;
}

} // namespace Cli_Vop31601
