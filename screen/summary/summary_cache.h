#pragma once

#include "nfe/directory_summary.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace Cli_Vop31600 {

// What the summaries of this program's run have read, by server, directory, name, size and time: a
// file listed as before is not read again. Safe from any thread.
class SummaryCache {
public:
    static SummaryCache& instance();
    static std::string keyOf(const std::string& identity, const std::string& directory, const std::string& name,
                             std::int64_t size, const std::string& modified);

    std::optional<Nfe::FileFacts> find(const std::string& key) const;
    void store(const std::string& key, const Nfe::FileFacts& facts);

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Nfe::FileFacts> facts_;
};

} // namespace Cli_Vop31600
