#include "platform/ftp/download_room.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

namespace Platform {

namespace {

// Below this a file is written in a call or two and delayed allocation places it as well.
constexpr std::int64_t kReservedFrom = 1 << 20;

} // namespace

DownloadRoom::~DownloadRoom()
{
    release();
}

bool DownloadRoom::reserve(int fd, std::int64_t size)
{
    if (size < kReservedFrom)
        return true;
    // fallocate takes what it can before it gives up for want of room, and keeps it: asked for
    // more than the disk has, it would fill the disk for every other program too. (A filesystem
    // that reports no size at all is not judged by it.)
    struct statvfs disk {};
    if (::fstatvfs(fd, &disk) == 0 && disk.f_frsize > 0 && disk.f_blocks > 0
        && static_cast<std::uint64_t>(size) / disk.f_frsize >= disk.f_bavail) {
        errno = ENOSPC;
        return false;
    }
    fd_ = fd;
    size_ = size;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0)
        return true;
    const int error = errno;
    release();
    errno = error;
    return error != ENOSPC && error != EDQUOT && error != EFBIG;
}

void DownloadRoom::release()
{
    if (fd_ < 0)
        return;
    const int saved = errno;
    struct stat st {};
    // Truncating at the size the file already has frees the blocks reserved past it.
    if (::fstat(fd_, &st) == 0 && st.st_size < size_)
        static_cast<void>(::ftruncate(fd_, st.st_size));
    fd_ = -1;
    errno = saved;
}

} // namespace Platform
