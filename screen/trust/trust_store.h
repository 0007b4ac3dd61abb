#pragma once

#include <optional>
#include <string>

namespace Cli_Vop31600 {

// What the user decided about the TLS of the FTP servers met: per "host:port", the certificate
// fingerprint trusted for good (empty when the system's authorities vouched for it) and whether the
// server was ever seen speaking TLS (then plain FTP from it is refused: a downgrade). One small JSON
// file under $XDG_DATA_HOME/vop31600/ (default ~/.local/share/vop31600/), mode 0600, replaced
// atomically. A file that cannot be read or parsed counts as empty: the questions come again.
class TrustStore {
public:
    struct Entry {
        std::string fingerprint;
        bool tlsSeen = false;
    };

    // The default place; a test may give its own.
    TrustStore();
    explicit TrustStore(std::string path);

    std::optional<Entry> find(const std::string& hostPort) const;
    // Stores the entry for hostPort; false when the file could not be written (nothing else changes).
    bool store(const std::string& hostPort, const Entry& entry);
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace Cli_Vop31600
