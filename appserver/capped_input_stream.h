#pragma once

#include <cstdint>
#include <istream>
#include <streambuf>
#include <vector>

namespace AppServer {

// Reads a request body through, counting it and ending it early once more than a limit has come,
// so that a chunked body (whose size nobody announced) cannot make the server read without end.
// After the end, overflowed() tells a cut from a body that really ended.
class CappedInputStream : public std::istream {
public:
    CappedInputStream(std::istream& source, std::uint64_t limit);

    std::uint64_t count() const { return buffer_.count; }
    bool overflowed() const { return buffer_.count > buffer_.limit; }

private:
    struct Buffer : std::streambuf {
        Buffer(std::istream& source, std::uint64_t limit);
        int_type underflow() override;
        std::istream& source;
        std::uint64_t limit;
        std::uint64_t count = 0;
        std::vector<char> block;
    };
    Buffer buffer_;
};

// The whole body of a request, at most limit bytes; false when it is longer (what was read of it
// is then left in body, one byte over the limit).
bool readCapped(std::istream& source, std::uint64_t limit, std::string& body);

} // namespace AppServer
