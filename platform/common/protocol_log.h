#pragma once

#include "platform/common/platform_export.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace Platform {

// The protocol log, for support: every command and reply of every connection of this process, with
// the time and the connection's name, and what the clients did on their own (TLS, reconnects,
// resumes). Lines go to rotating files under $XDG_STATE_HOME/vop31600/ (default
// ~/.local/state/vop31600/): protocolo.log, then protocolo.1.log ... protocolo.4.log, 2 MB each,
// 10 MB in all, mode 0600. This session's lines are also kept in memory (the newest 20,000) for the
// log window. Thread-safe; a file that cannot be written loses its lines, never the session.
class PLATFORM_API ProtocolLog {
public:
    enum class Kind { Sent, Received, Info };

    static ProtocolLog& instance();

    // One entry; a text of several lines (a multi-line reply) gives one line each.
    void write(const std::string& connection, Kind kind, const std::string& text);
    // What a client's log handler does: writes under the connection's name.
    static std::function<void(Kind, const std::string&)> sink(std::string connection);
    // This session's lines, oldest first, and how many were ever written (grows with each line).
    std::vector<std::string> sessionLines() const;
    std::uint64_t written() const;

    // The folder of the files; for the tests.
    std::string folder() const;

    static constexpr std::size_t kFileLimit = 2u << 20;
    static constexpr int kFiles = 5;
    static constexpr std::size_t kSessionLines = 20000;

private:
    ProtocolLog();
    void append(const std::string& lines);
    void rotate();

    mutable std::mutex mutex_;
    std::string folder_;
    int fd_ = -1;
    std::size_t size_ = 0;
    std::deque<std::string> session_;
    std::uint64_t written_ = 0;
};

} // namespace Platform
