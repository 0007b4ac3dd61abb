#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace Cli_Vop31601 {

// A download's temporary file, ".NAME.part-N" beside its target so that the final rename stays on
// one file system. The user's file is replaced only by commit(); a download that fails, is
// cancelled or is left by a stopping worker takes its temporary file with it.
class PartialFile {
public:
    // shownAs: how a failure to write the file names it to the user (its path, or the folder's role).
    PartialFile(const std::string& target, std::string shownAs);
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const std::string& path() const { return path_; }
    const std::string& target() const { return target_; }
    // The bytes in the temporary file now (0 when there is none yet): where a resumed download goes on.
    std::int64_t size() const;
    // The temporary file, empty, open for writing. Throws Platform::LocalFileError about path() when
    // it cannot be created.
    std::ofstream create() const;
    // The temporary file kept up to offset and open for writing on from there (a resumed download).
    std::ofstream resume(std::int64_t offset) const;
    // Closes what create() gave. Throws Platform::LocalFileError about path() when not everything
    // written reached the file.
    void finish(std::ofstream& out) const;
    // Renames the temporary file over the target. Throws Platform::LocalFileError naming the target
    // and the cause (a folder standing at the target, no permission).
    void commit();

private:
    std::string target_;
    std::string shownAs_;
    std::string path_;
    bool committed_ = false;
};

} // namespace Cli_Vop31601
