#pragma once

#include <stdexcept>

namespace Cli_Vop31601 {

// A file that could not be written here: the connection is not to blame.
class LocalFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace Cli_Vop31601
