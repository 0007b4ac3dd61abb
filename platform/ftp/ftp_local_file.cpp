// Downloads into and uploads from local files: the file's descriptor, its disk room, and the
// kernel's moves between it and the data connection where TLS does not forbid them.
#include "platform/ftp/id_ftp.h"

#include "platform/ftp/download_room.h"
#include "platform/ftp/ftp_client_impl.h"
#include "platform/ftp/ftp_command.h"
#include "platform/common/local_file_error.h"
#include "platform/common/net_error_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Platform {

namespace {

// Closes a file descriptor when the transfer leaves, however it leaves.
struct FileHandle {
    int fd = -1;
    ~FileHandle()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// A spliced download moves this much per step when the pipe can hold it: the kernel then moves the
// data in fewer, larger calls (measured: about a fifth less time per GiB than with 256 KiB steps).
constexpr std::size_t kSplicedStep = 1024 * 1024;

// The two ends of a pipe, closed when the download leaves.
struct DownloadPipe {
    FileHandle readEnd;
    FileHandle writeEnd;
    // The room the pipe got, the first of rooms it could (the step of the download), or 0.
    std::size_t open(std::initializer_list<std::size_t> rooms)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return 0;
        readEnd.fd = fds[0];
        writeEnd.fd = fds[1];
        for (const std::size_t room : rooms)
            if (::fcntl(writeEnd.fd, F_SETPIPE_SZ, static_cast<int>(room)) >= static_cast<int>(room))
                return room;
        return 0;
    }
};

const char* const writeFailed = "Falha ao gravar o arquivo local";

std::string systemError(const std::string& what, const std::string& path)
{
    return what + " \"" + path + "\": " + describeSystemError(errno) + ".";
}

} // namespace

void TIdFTP::Get(const std::string& remote, const std::string& localPath, bool overwrite, std::int64_t size)
{
    receiveFile(remote, localPath, overwrite ? O_TRUNC : O_EXCL, 0, size);
}

void TIdFTP::GetFrom(const std::string& remote, const std::string& localPath, std::int64_t offset, std::int64_t size)
{
    receiveFile(remote, localPath, offset > 0 ? 0 : O_TRUNC, offset, size);
}

void TIdFTP::receiveFile(const std::string& remote, const std::string& localPath, int openFlags, std::int64_t offset,
                         std::int64_t size)
{
    impl_->requireConnected();
    const std::string line = FtpCommand::encode("RETR", remote);
    FileHandle file;
    file.fd = ::open(localPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | openFlags, 0644);
    if (file.fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            throw LocalFileError::Told("O arquivo local \"" + localPath + "\" já existe.", localPath, error);
        throw LocalFileError("Não foi possível criar o arquivo local", localPath, error);
    }
    // A resumed download goes on right after the bytes kept; anything past them is not trusted.
    if (offset > 0 && (::ftruncate(file.fd, offset) != 0 || ::lseek(file.fd, offset, SEEK_SET) != offset))
        throw LocalFileError(writeFailed, localPath, errno);
    DownloadRoom room;
    if (!room.reserve(file.fd, size))
        throw LocalFileError(writeFailed, localPath, errno);
    // Socket to file through a pipe: the bytes never pass through our memory. Without a pipe of a
    // block's room, through the buffer.
    DownloadPipe pipe;
    // Under TLS the bytes must be decrypted here: no pipe then.
    const std::size_t step = impl_->protectedData ? 0 : pipe.open({kSplicedStep, Impl::kBlock});
    const bool spliced = step != 0;
    int writeError = 0;
    Impl::Receive receive = [&](char*, std::size_t size) {
        return impl_->data.receiveIntoFile(file.fd, pipe.readEnd.fd, pipe.writeEnd.fd, size, writeError);
    };
    Impl::Sink sink = [&](const char* p, std::size_t n) {
        if (spliced)
            n = 0;  // already in the file
        while (n > 0) {
            const ssize_t w = ::write(file.fd, p, n);
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                writeError = errno;
                break;
            }
            p += w;
            n -= static_cast<std::size_t>(w);
        }
        if (writeError != 0)
            throw LocalFileError(writeFailed, localPath, writeError);
    };
    Impl::Job job = Impl::Job::withWork("RETR", line, size);
    job.startAt = offset;
    job.sink = &sink;
    job.receive = spliced ? &receive : nullptr;
    if (spliced)
        job.block = step;
    impl_->transfer(job);
    room.release();
    if (::close(file.fd) != 0) {
        file.fd = -1;
        throw LocalFileError(writeFailed, localPath, errno);
    }
    file.fd = -1;
}

void TIdFTP::Put(const std::string& localPath, const std::string& remote, bool append)
{
    sendFile(localPath, remote, append, 0);
}

void TIdFTP::PutFrom(const std::string& localPath, const std::string& remote, std::int64_t offset)
{
    sendFile(localPath, remote, offset > 0, offset);
}

void TIdFTP::sendFile(const std::string& localPath, const std::string& remote, bool append, std::int64_t offset)
{
    impl_->requireConnected();
    const std::string verb = append ? "APPE" : "STOR";
    const std::string line = FtpCommand::encode(verb, remote);
    FileHandle file;
    file.fd = ::open(localPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0)
        throw FtpError(systemError("Não foi possível ler o arquivo local", localPath));
    if (S_ISDIR(st.st_mode))
        throw FtpError("\"" + localPath + "\" é uma pasta, não um arquivo.");
    if (offset > 0 && (offset > st.st_size || ::lseek(file.fd, offset, SEEK_SET) != offset))
        throw FtpError("Não é possível continuar o envio de \"" + localPath + "\": o arquivo local mudou.");
    Impl::Source source = [&](char* p, std::size_t n) -> std::size_t {
        for (;;) {
            ssize_t r = ::read(file.fd, p, n);
            if (r >= 0)
                return static_cast<std::size_t>(r);
            if (errno != EINTR)
                throw FtpError(systemError("Falha ao ler o arquivo local", localPath));
        }
    };
    Impl::Job job = Impl::Job::withWork(verb, line, static_cast<std::int64_t>(st.st_size));
    job.startAt = offset;
    job.source = &source;
    // Under TLS the bytes are encrypted here, so they pass through our memory.
    job.sourceFd = impl_->protectedData ? -1 : file.fd;
    impl_->transfer(job);
}

} // namespace Platform
