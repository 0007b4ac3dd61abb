#pragma once

#include <cstdint>
#include <stdexcept>
#include <streambuf>
#include <string>

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

} // namespace Cli_Vop31600
