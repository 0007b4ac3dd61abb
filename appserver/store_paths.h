#pragma once

#include <string>

namespace AppServer {

// Confines every path of a gateway request to the store folder. Directory arguments are virtual
// absolute paths ("/XMLFTP/a"); names are single entries. Whatever leaves the store (".." above the
// root, a name with a slash, a symlink that points out) raises GatewayError 403; a missing entry 404;
// a name or path component with a control character or over 255 bytes 400.
class StorePaths {
public:
    explicit StorePaths(const std::string& root); // throws std::runtime_error when root is not a directory

    // The virtual path reached from current by target (absolute or relative), resolved lexically;
    // its components follow the rule of checkName.
    static std::string join(const std::string& current, const std::string& target);
    // Refuses names that are empty, ".", "..", longer than 255 bytes, or hold a slash or a control
    // character (below 0x20, or 0x7F).
    static void checkName(const std::string& name);

    // The real path of an existing directory, symlinks resolved, inside the store.
    std::string directory(const std::string& virtualDir) const;
    // The real path of an existing entry (followed through symlinks), inside the store.
    std::string existing(const std::string& realPath) const;
    // True when realPath, once its symlinks are resolved, still lies inside the store.
    bool inside(const std::string& realPath) const;

    const std::string& root() const { return root_; }

private:
    std::string root_;
};

// True when text holds a byte below 0x20 or 0x7F.
bool hasControlCharacter(const std::string& text);

} // namespace AppServer
