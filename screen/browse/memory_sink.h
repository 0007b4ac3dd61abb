#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <stdexcept>
#include <streambuf>
#include <string>

namespace Platform {
class TIdFTP;
}

namespace Cli_Vop31600 {

// A file read for a look at it (never written to disk) passed its limit.
class FileTooLarge : public std::runtime_error {
public:
    explicit FileTooLarge(std::int64_t limit);
    std::int64_t limit() const { return limit_; }

private:
    std::int64_t limit_;
};

// Collects a download in memory up to a limit: one byte beyond it fails the stream, which makes the
// client stop the transfer.
class MemorySink : public std::streambuf {
public:
    explicit MemorySink(std::int64_t limit) : limit_(limit) {}
    bool exceeded() const { return exceeded_; }
    std::string take() { return std::move(data_); }

protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override;
    int_type overflow(int_type byte) override;

private:
    std::int64_t limit_;
    bool exceeded_ = false;
    std::string data_;
};

// What fetch writes, in memory: FileTooLarge when it fails once past maxBytes (the sink stopped it),
// else what it throws.
std::string readIntoMemory(std::int64_t maxBytes, const std::function<void(std::ostream&)>& fetch);
// A file of the FTP session's directory into memory: TYPE I, RETR name (exactly expectedSize bytes
// when it is not -1). Throws FileTooLarge once more than maxBytes arrive, else what the client throws.
std::string readFtpFile(Platform::TIdFTP& ftp, const std::string& name, std::int64_t expectedSize, std::int64_t maxBytes);

} // namespace Cli_Vop31600
