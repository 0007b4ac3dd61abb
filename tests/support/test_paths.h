#pragma once

#include <string>

// Where the tests find the sources (fixtures, seeds) and the built programs.
namespace TestPaths {
inline std::string sourceDir() { return VOP_SOURCE_DIR; }
inline std::string binDir() { return std::string(VOP_BINARY_DIR) + "/bin"; }
inline std::string python() { return "/usr/bin/python3"; }
} // namespace TestPaths
