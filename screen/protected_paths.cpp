#include "screen/protected_paths.h"

#include <array>

namespace Cli_Vop31600 {

std::string upperAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool isProtectedPath(const std::string& pathBox, const std::string& name)
{
    static const std::array<std::string, 4> protectedPaths{"/EXEFTP", "/RELFTP", "/TMPFTP", "/XMLFTP"};
    const std::string candidate = upperAscii(pathBox + name);
    for (const auto& path : protectedPaths)
        if (candidate == path)
            return true;
    return false;
}

} // namespace Cli_Vop31600
