#include "screen/browse/memory_sink.h"

namespace Cli_Vop31600 {

FileTooLarge::FileTooLarge(std::int64_t limit)
    : std::runtime_error("O arquivo passa do limite de " + std::to_string(limit / (1024 * 1024)) + " MB."), limit_(limit)
{
}

std::streamsize MemorySink::xsputn(const char* bytes, std::streamsize count)
{
    if (static_cast<std::int64_t>(data_.size()) + count > limit_) {
        exceeded_ = true;
        return 0;
    }
    data_.append(bytes, static_cast<std::size_t>(count));
    return count;
}

MemorySink::int_type MemorySink::overflow(int_type byte)
{
    if (traits_type::eq_int_type(byte, traits_type::eof()))
        return traits_type::not_eof(byte);
    const char c = traits_type::to_char_type(byte);
    return xsputn(&c, 1) == 1 ? byte : traits_type::eof();
}

} // namespace Cli_Vop31600
