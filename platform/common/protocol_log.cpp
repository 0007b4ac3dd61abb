#include "platform/common/protocol_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace Platform {

namespace {

std::string stateFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/')
        return std::string(state) + "/vop31600";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/state/vop31600";
}

std::string timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(millis));
    return text;
}

const char* markOf(ProtocolLog::Kind kind)
{
    switch (kind) {
    case ProtocolLog::Kind::Sent:
        return ">";
    case ProtocolLog::Kind::Received:
        return "<";
    default:
        return "*";
    }
}

std::string fileName(const std::string& folder, int generation)
{
    return folder + (generation == 0 ? "/protocolo.log" : "/protocolo." + std::to_string(generation) + ".log");
}

} // namespace

ProtocolLog& ProtocolLog::instance()
{
    static ProtocolLog log;
    return log;
}

ProtocolLog::ProtocolLog() : folder_(stateFolder()) {}

std::function<void(ProtocolLog::Kind, const std::string&)> ProtocolLog::sink(std::string connection)
{
    return [connection = std::move(connection)](Kind kind, const std::string& text) {
        instance().write(connection, kind, text);
    };
}

std::string ProtocolLog::folder() const { return folder_; }

void ProtocolLog::write(const std::string& connection, Kind kind, const std::string& text)
{
    const std::string head = timestamp() + " [" + connection + "] " + markOf(kind) + " ";
    std::string lines;
    std::lock_guard lock(mutex_);
    std::size_t start = 0;
    do {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = head + text.substr(start, end - start);
        lines += line + "\n";
        session_.push_back(std::move(line));
        if (session_.size() > kSessionLines)
            session_.pop_front();
        ++written_;
        start = end + 1;
    } while (start < text.size());
    append(lines);
}

void ProtocolLog::append(const std::string& lines)
{
    if (fd_ < 0) {
        std::error_code ignored;
        std::filesystem::create_directories(folder_, ignored);
        fd_ = ::open(fileName(folder_, 0).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return;
        struct stat st {};
        size_ = ::fstat(fd_, &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
    }
    if (size_ + lines.size() > kFileLimit) {
        rotate();
        if (fd_ < 0)
            return;
    }
    if (::write(fd_, lines.data(), lines.size()) == static_cast<ssize_t>(lines.size()))
        size_ += lines.size();
}

void ProtocolLog::rotate()
{
    ::close(fd_);
    fd_ = -1;
    std::remove(fileName(folder_, kFiles - 1).c_str());
    for (int generation = kFiles - 2; generation >= 0; --generation)
        std::rename(fileName(folder_, generation).c_str(), fileName(folder_, generation + 1).c_str());
    fd_ = ::open(fileName(folder_, 0).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    size_ = 0;
}

std::vector<std::string> ProtocolLog::sessionLines() const
{
    std::lock_guard lock(mutex_);
    return {session_.begin(), session_.end()};
}

std::uint64_t ProtocolLog::written() const
{
    std::lock_guard lock(mutex_);
    return written_;
}

} // namespace Platform
