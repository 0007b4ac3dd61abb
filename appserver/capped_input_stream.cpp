#include "appserver/capped_input_stream.h"

#include <algorithm>
#include <string>

namespace AppServer {

CappedInputStream::Buffer::Buffer(std::istream& source, std::uint64_t limit)
    : source(source), limit(limit), block(64 * 1024)
{
}

CappedInputStream::Buffer::int_type CappedInputStream::Buffer::underflow()
{
    if (count > limit)
        return traits_type::eof();
    // One byte more than the limit is asked for, so that an overflow shows.
    const std::uint64_t wanted = std::min<std::uint64_t>(block.size(), limit + 1 - count);
    source.read(block.data(), static_cast<std::streamsize>(wanted));
    const std::streamsize got = source.gcount();
    if (got <= 0)
        return traits_type::eof();
    count += static_cast<std::uint64_t>(got);
    setg(block.data(), block.data(), block.data() + got);
    return traits_type::to_int_type(block[0]);
}

CappedInputStream::CappedInputStream(std::istream& source, std::uint64_t limit) : std::istream(nullptr), buffer_(source, limit)
{
    rdbuf(&buffer_);
}

bool readCapped(std::istream& source, std::uint64_t limit, std::string& body)
{
    CappedInputStream capped(source, limit);
    body.assign(std::istreambuf_iterator<char>(capped), std::istreambuf_iterator<char>());
    return !capped.overflowed();
}

} // namespace AppServer
