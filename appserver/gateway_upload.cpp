#include "appserver/gateway_upload.h"

#include "appserver/dos_listing.h"
#include "appserver/gateway_error.h"
#include "appserver/system_error_text.h"

#include <Poco/NullStream.h>
#include <Poco/Net/MessageHeader.h>
#include <Poco/Net/NameValueCollection.h>
#include <Poco/StreamCopier.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

#include <fcntl.h>
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
            throw GatewayError(500, "Não foi possível gravar o arquivo: " + systemErrorText(errno));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

GatewayError storeError(const std::string& name, int error)
{
    return GatewayError(error == EISDIR ? 409 : 500, "Não foi possível gravar " + name + ": " + systemErrorText(error));
}

} // namespace

GatewayUpload::GatewayUpload(std::string realDir, std::string name) : realDir_(std::move(realDir)), name_(std::move(name)) {}

GatewayUpload::~GatewayUpload()
{
    if (!tempPath_.empty())
        ::unlink(tempPath_.c_str());
    if (fd_ >= 0)
        ::close(fd_); // an unnamed file vanishes with its last descriptor
}

void GatewayUpload::openUnnamed()
{
    fd_ = ::open(realDir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
    if (fd_ >= 0)
        ::fchmod(fd_, 0644);
}

void GatewayUpload::openNamed()
{
    std::string pattern = realDir_ + "/" + uploadTempPrefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    fd_ = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw GatewayError(500, "Não foi possível criar o arquivo: " + systemErrorText(errno));
    tempPath_ = buffer.data();
    ::fchmod(fd_, 0644);
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
    openUnnamed();
    if (fd_ < 0)
        openNamed(); // no O_TMPFILE on this file system

    std::vector<char> block(blockSize);
    while (stream) {
        stream.read(block.data(), static_cast<std::streamsize>(block.size()));
        writeAll(fd_, block.data(), static_cast<std::size_t>(stream.gcount()));
    }
}

std::string GatewayUpload::linkTemporary() const
{
    const std::string source = "/proc/self/fd/" + std::to_string(fd_);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", random());
        const std::string path = realDir_ + "/" + uploadTempPrefix + suffix;
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return path;
        if (errno != EEXIST)
            throw storeError(name_, errno);
    }
    throw storeError(name_, EEXIST);
}

void GatewayUpload::commit()
{
    const std::string target = realDir_ + "/" + name_;
    if (tempPath_.empty()) {
        // A new name is linked straight into place; an existing one is replaced in one step by a
        // rename from a short-lived second name.
        const std::string source = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return;
        if (errno != EEXIST)
            throw storeError(name_, errno);
        tempPath_ = linkTemporary();
    }
    if (::rename(tempPath_.c_str(), target.c_str()) != 0)
        throw storeError(name_, errno);
    tempPath_.clear();
}

} // namespace AppServer
