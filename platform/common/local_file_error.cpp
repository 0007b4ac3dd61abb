#include "platform/common/local_file_error.h"

#include "platform/common/net_error_text.h"

namespace Platform {

LocalFileError::LocalFileError(const std::string& action, const std::string& path, int error)
    : LocalFileError(action + " \"" + path + "\": " + describeSystemError(error) + ".", action, path, error)
{
}

LocalFileError::LocalFileError(const std::string& text, std::string action, std::string path, int error)
    : std::runtime_error(text), action_(std::move(action)), path_(std::move(path)), error_(error)
{
}

LocalFileError LocalFileError::Told(const std::string& text, const std::string& path, int error)
{
    return LocalFileError(text, std::string(), path, error);
}

LocalFileError LocalFileError::About(const std::string& path) const
{
    if (action_.empty())
        return LocalFileError(what(), std::string(), path, error_);
    return LocalFileError(action_, path, error_);
}

} // namespace Platform
