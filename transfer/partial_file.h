#pragma once

#include <string>

namespace Cli_Vop31601 {

// A download's temporary file, ".NAME.part-N" beside its target so that the final rename stays on
// one file system. The user's file is replaced only by commit(); a download that fails, is
// cancelled or is left by a stopping worker takes its temporary file with it.
class PartialFile {
public:
    explicit PartialFile(const std::string& target);
    ~PartialFile();
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const std::string& path() const { return path_; }
    // Renames the temporary file over the target. Throws LocalFileError naming the target and the
    // cause (a folder standing at the target, no permission): the connection is not to blame.
    void commit();

private:
    std::string target_;
    std::string path_;
    bool committed_ = false;
};

} // namespace Cli_Vop31601
