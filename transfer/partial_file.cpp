#include "transfer/partial_file.h"


#include "platform/common/local_file_error.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

namespace Cli_Vop31601 {
namespace fs = std::filesystem;

PartialFile::PartialFile(const std::string& target, std::string shownAs)
    : target_(target), shownAs_(std::move(shownAs))
{
    std::random_device random;
    const fs::path path(target);
    std::string name(".");
    name.append(path.filename().string()).append(".part-").append(std::to_string(random() % 1000000));
    path_ = (path.parent_path() / name).string();
}

PartialFile::~PartialFile()
{
    if (committed_)
        return;
    std::error_code ignored;
    fs::remove(path_, ignored);
}

std::ofstream PartialFile::create() const
{
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    if (!out)
        throw Platform::LocalFileError::Told("não foi possível criar o arquivo " + shownAs_, path_, errno);
    return out;
}

std::ofstream PartialFile::resume(std::int64_t offset) const
{
    std::error_code error;
    std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(offset), error);
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    if (error || !out)
        throw Platform::LocalFileError::Told("não foi possível gravar o arquivo " + shownAs_, path_,
                                             error ? error.value() : errno);
    return out;
}

void PartialFile::finish(std::ofstream& out) const
{
    out.close();
    if (!out)
        throw Platform::LocalFileError::Told("não foi possível gravar o arquivo " + shownAs_, path_, errno);
}

void PartialFile::commit()
{
    std::error_code error;
    fs::rename(path_, target_, error);
    // The message names the user's file, never the temporary one.
    if (error)
        throw Platform::LocalFileError("Não foi possível gravar o arquivo", target_, error.value());
    committed_ = true;
}

std::int64_t PartialFile::size() const
{
    std::error_code ignored;
    const auto bytes = std::filesystem::file_size(path_, ignored);
    return ignored ? 0 : static_cast<std::int64_t>(bytes);
}

} // namespace Cli_Vop31601
