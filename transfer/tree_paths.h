#pragma once

#include "transfer/crew_queue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Paths and identities of the directories a batch download or folder upload walks.
namespace Cli_Vop31601 {

// The deepest directory walked below the shown one.
inline constexpr int kMaxTreeDepth = 32;

// "/a" + "b/c" = "/a/b/c"; the root joins without a second slash; an empty relative is the base.
std::string joinRemote(const std::string& base, const std::string& relative);
// "b/c/d.xml" -> "b/c" (empty at the top) and "d.xml".
std::string parentOf(const std::string& relative);
std::string leafOf(const std::string& relative);
// "b" + "c" = "b/c"; below an empty relative, the name alone.
std::string below(const std::string& relative, const std::string& name);

// What stands for a directory in a loop check: the digest of its listing (a link back to a
// directory above lists the same), or of the local folder's device and inode.
std::uint64_t digestOf(const std::vector<std::string>& lines);
std::uint64_t digestOf(std::uint64_t device, std::uint64_t inode);
// Whether id is one of the directories above, and the chain with id added below them.
bool walkedAbove(const CrewTask& task, std::uint64_t id);
std::shared_ptr<const std::vector<std::uint64_t>> withBelow(const CrewTask& task, std::uint64_t id);

} // namespace Cli_Vop31601
