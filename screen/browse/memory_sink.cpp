#include "screen/browse/memory_sink.h"

#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/id_ftp.h"

#include <ostream>

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

std::string readIntoMemory(std::int64_t maxBytes, const std::function<void(std::ostream&)>& fetch)
{
    MemorySink sink(maxBytes);
    std::ostream out(&sink);
    try {
        fetch(out);
    } catch (...) {
        if (sink.exceeded())
            throw FileTooLarge(maxBytes);
        throw;
    }
    return sink.take();
}

std::string readFtpFile(Platform::TIdFTP& ftp, const std::string& name, std::int64_t expectedSize, std::int64_t maxBytes)
{
    ftp.TransferType(Platform::TIdFTPTransferType::ftBinary);
    return readIntoMemory(maxBytes, [&](std::ostream& out) { ftp.Get(name, out, expectedSize); });
}

} // namespace Cli_Vop31600
