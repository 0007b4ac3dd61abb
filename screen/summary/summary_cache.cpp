#include "screen/summary/summary_cache.h"

namespace Cli_Vop31600 {

SummaryCache& SummaryCache::instance()
{
    static SummaryCache cache;
    return cache;
}

std::string SummaryCache::keyOf(const std::string& identity, const std::string& directory, const std::string& name,
                                std::int64_t size, const std::string& modified)
{
    // Names hold no line breaks (the screen refuses them), so the parts cannot run into each other.
    return identity + '\n' + directory + '\n' + name + '\n' + std::to_string(size) + '\n' + modified;
}

std::optional<Nfe::FileFacts> SummaryCache::find(const std::string& key) const
{
    std::lock_guard lock(mutex_);
    const auto found = facts_.find(key);
    return found == facts_.end() ? std::nullopt : std::optional<Nfe::FileFacts>(found->second);
}

void SummaryCache::store(const std::string& key, const Nfe::FileFacts& facts)
{
    std::lock_guard lock(mutex_);
    facts_.insert_or_assign(key, facts);
}

} // namespace Cli_Vop31600
