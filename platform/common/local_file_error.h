#pragma once

#include "platform/common/platform_export.h"

#include <stdexcept>
#include <string>

namespace Platform {

// A file here that could not be created, written or put in place: the connection is not to blame.
// The text is made of its parts, so that the same failure can be told of another path.
class PLATFORM_API LocalFileError : public std::runtime_error {
public:
    // "<action> "<path>": <cause>.", the cause being errno in the user's words.
    LocalFileError(const std::string& action, const std::string& path, int error);
    // The failure in a text of its own; error is errno, or 0 when the system gave none.
    static LocalFileError Told(const std::string& text, const std::string& path, int error);

    const std::string& Path() const { return path_; }
    int ErrorCode() const { return error_; }
    // The same failure told of another path (a download's temporary file is not the user's); a text
    // of its own stays as it was.
    LocalFileError About(const std::string& path) const;

private:
    LocalFileError(const std::string& text, std::string action, std::string path, int error);

    std::string action_;  // empty for a text of its own
    std::string path_;
    int error_;
};

} // namespace Platform
