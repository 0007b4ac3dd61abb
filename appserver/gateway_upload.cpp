#include "appserver/gateway_upload.h"

#include "appserver/dos_listing.h"
#include "appserver/gateway_error.h"

#include <Poco/NullStream.h>
#include <Poco/Net/MessageHeader.h>
#include <Poco/Net/NameValueCollection.h>
#include <Poco/StreamCopier.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace AppServer {
namespace {

constexpr std::size_t blockSize = 256 * 1024;

void writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw GatewayError(500, std::string("Cannot write the file: ") + std::strerror(errno));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

} // namespace

GatewayUpload::GatewayUpload(std::string realDir, std::string name) : realDir_(std::move(realDir)), name_(std::move(name)) {}

GatewayUpload::~GatewayUpload()
{
    if (!tempPath_.empty())
        ::unlink(tempPath_.c_str());
}

void GatewayUpload::handlePart(const Poco::Net::MessageHeader& header, std::istream& stream)
{
    std::string disposition;
    Poco::Net::NameValueCollection params;
    Poco::Net::MessageHeader::splitParameters(header.get("Content-Disposition", ""), disposition, params);
    if (params.get("name", "") != "file" || received()) {
        Poco::NullOutputStream sink;
        Poco::StreamCopier::copyStream(stream, sink);
        return;
    }
    std::string pattern = realDir_ + "/" + uploadTempPrefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0)
        throw GatewayError(500, std::string("Cannot create the file: ") + std::strerror(errno));
    tempPath_ = buffer.data();
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    ::fchmod(fd, 0644);

    std::vector<char> block(blockSize);
    while (stream) {
        stream.read(block.data(), static_cast<std::streamsize>(block.size()));
        writeAll(fd, block.data(), static_cast<std::size_t>(stream.gcount()));
    }
}

void GatewayUpload::commit()
{
    const std::string target = realDir_ + "/" + name_;
    if (::rename(tempPath_.c_str(), target.c_str()) != 0)
        throw GatewayError(errno == EISDIR ? 409 : 500, std::string("Cannot store ") + name_ + ": " + std::strerror(errno));
    tempPath_.clear();
}

} // namespace AppServer
