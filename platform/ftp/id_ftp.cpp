#include "platform/ftp/id_ftp.h"

#include "platform/ftp/download_room.h"
#include "platform/ftp/ftp_client_impl.h"
#include "platform/ftp/ftp_command.h"
#include "platform/common/local_file_error.h"
#include "platform/common/net_error_text.h"
#include "platform/common/text_codec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <istream>
#include <ostream>

namespace Platform {

namespace {

constexpr std::size_t kMaxListingBytes = 64u << 20;
constexpr std::size_t kMaxListingLines = 500000;

bool isOneOf(int code, std::initializer_list<int> ok)
{
    if (ok.size() == 0)
        return true;
    for (int c : ok)
        if (c == code)
            return true;
    return false;
}

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

// ---- Impl: commands ---------------------------------------------------------------------------

void TIdFTP::Impl::status(TIdStatus s, const std::string& text)
{
    if (self.OnStatus)
        self.OnStatus(s, text);
}

void TIdFTP::Impl::noticeClosed() noexcept
{
    if (announced && !control.isOpen()) {
        announced = false;
        try {
            status(TIdStatus::hsDisconnected, "Desconectado.");
        } catch (...) {
        }
    }
}

void TIdFTP::Impl::armWaitHook()
{
    served = nullptr;
    if (self.OnWaiting) {
        served = [this] {
            try {
                self.OnWaiting();
            } catch (...) {
                closeControl("Desconectando.");
                throw;
            }
        };
    }
    control.hook = served;
    data.setWaitHook(served);
}

void TIdFTP::Impl::requireConnected()
{
    armWaitHook();
    if (!control.isOpen())
        throw FtpConnectionLost("Sem conexão com o servidor FTP.");
}

FtpReply TIdFTP::Impl::readReply() { return readReply(self.ReadTimeout); }

FtpReply TIdFTP::Impl::readReply(std::chrono::milliseconds timeout)
{
    try {
        FtpReply reply = control.readReply(timeout);
        lastReply = reply.text;
        return reply;
    } catch (...) {
        noticeClosed();
        throw;
    }
}

FtpReply TIdFTP::Impl::command(const std::string& verb, const std::string& argument, bool secret)
{
    requireConnected();
    const std::string line = FtpCommand::encode(verb, argument, secret);
    try {
        control.send(line);
    } catch (...) {
        noticeClosed();
        throw;
    }
    return readReply();
}

FtpReply TIdFTP::Impl::expect(const std::string& verb, const std::string& argument, std::initializer_list<int> ok,
                              bool secret)
{
    FtpReply reply = command(verb, argument, secret);
    if (!isOneOf(reply.code, ok))
        refused(verb, reply);
    return reply;
}

void TIdFTP::Impl::refused(const std::string& verb, const FtpReply& reply)
{
    (void)verb;
    throw FtpError(FtpCommand::hideSecret(reply.text, self.Password), reply.code);
}

void TIdFTP::Impl::closeControl(const std::string& why) noexcept
{
    data.close();
    const bool wasAnnounced = announced;
    if (wasAnnounced) {
        try {
            status(TIdStatus::hsDisconnecting, why);
        } catch (...) {
        }
    }
    control.close();
    noticeClosed();
}

// An idle session ends with QUIT, so the server logs a clean log-out: it reads the QUIT before
// the close. Its answer says nothing more and is not awaited: vsftpd answers only once it has
// closed the file it stored last, half a second after a 1 GiB upload, and the screen's ready
// state waits for this close.
void TIdFTP::Impl::sayGoodbye() noexcept
{
    if (!control.isOpen() || transferRunning)
        return;
    try {
        control.send("QUIT\r\n");
    } catch (...) {
    }
}

void TIdFTP::Impl::login()
{
    const std::string user = self.Username.empty() ? std::string("anonymous") : self.Username;
    FtpReply reply = command("USER", user);
    if (reply.code == 331 || reply.code == 332)
        reply = command("PASS", self.Password, true);
    if (reply.code != 230 && reply.code != 202) {
        throw FtpError("Login recusado pelo servidor FTP: " + FtpCommand::hideSecret(reply.text, self.Password),
                       reply.code);
    }
}

// ---- TIdFTP --------------------------------------------------------------------------------------

TIdFTP::TIdFTP() : impl_(std::make_unique<Impl>(*this)) {}

TIdFTP::~TIdFTP()
{
    impl_->data.close();
    impl_->control.close();
}

void TIdFTP::Connect()
{
    if (impl_->control.isOpen())
        Disconnect();
    impl_->eprtRefused = impl_->epsvRefused = false;
    impl_->control.secret = Password;
    impl_->armWaitHook();
    impl_->status(TIdStatus::hsResolving, "Resolvendo " + Host + ".");
    impl_->status(TIdStatus::hsConnecting, "Conectando a " + Host + ".");
    impl_->control.open(Host, Port, ConnectTimeout, ReadTimeout);
    impl_->announced = true;
    impl_->status(TIdStatus::hsConnected, "Conectado a " + Host + ".");
    try {
        FtpReply banner = impl_->control.readReply(ConnectTimeout);
        while (banner.code >= 100 && banner.code < 200)
            banner = impl_->control.readReply(ConnectTimeout);
        impl_->lastReply = banner.text;
        if (banner.code != 220)
            throw FtpError("O servidor FTP recusou a conexão: " + banner.text, banner.code);
        impl_->login();
    } catch (...) {
        impl_->closeControl("Desconectando.");
        throw;
    }
}

bool TIdFTP::Connected() const
{
    if (!impl_->control.isOpen())
        return false;
    if (impl_->transferRunning)
        return true;
    // A server that has hung up since the last reply is seen here, without sending anything.
    if (!impl_->control.peekAlive()) {
        impl_->closeControl("Conexão perdida.");
        return false;
    }
    return true;
}

void TIdFTP::Disconnect()
{
    if (!impl_->control.isOpen() && !impl_->announced)
        return;
    impl_->sayGoodbye();
    impl_->closeControl("Desconectando.");
}

void TIdFTP::Quit() { Disconnect(); }

void TIdFTP::ChangeDir(const std::string& dir) { impl_->expect("CWD", dir, {250, 200}); }

std::string TIdFTP::RetrieveCurrentDir()
{
    FtpReply reply = impl_->expect("PWD", "", {257});
    return FtpCommand::quotedPath(reply.text.substr(0, reply.text.find('\n')));
}

void TIdFTP::List(std::vector<std::string>& lines)
{
    lines.clear();
    std::string raw;
    std::size_t lineCount = 0;
    // A hostile or broken server could send without end: the listing is refused past a size that
    // no real directory reaches, before it can exhaust memory.
    Impl::Sink sink = [&](const char* p, std::size_t n) {
        lineCount += static_cast<std::size_t>(std::count(p, p + n, '\n'));
        if (raw.size() + n > kMaxListingBytes || lineCount > kMaxListingLines)
            throw FtpError("A listagem do servidor FTP é grande demais (mais de "
                           + std::to_string(kMaxListingLines) + " linhas ou "
                           + std::to_string(kMaxListingBytes >> 20) + " MB) e foi recusada.");
        raw.append(p, n);
    };
    Impl::Job job;
    job.verb = "LIST";
    job.wireLine = "LIST\r\n";
    job.sink = &sink;
    // A server that trickles its listing never runs out a read's time-out: the whole has one too.
    job.deadline = std::chrono::steady_clock::now() + ListingTimeout;
    job.overdue = "A listagem do servidor FTP demorou mais de "
        + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(ListingTimeout).count())
        + " s e foi interrompida.";
    impl_->transfer(job);
    // Splitting a long listing takes a while too: the hook is still served meanwhile.
    WaitPacer pacer(impl_->served);
    std::size_t start = 0;
    while (start < raw.size()) {
        if ((lines.size() & 1023) == 0)
            pacer.serveIfDue();
        auto end = raw.find('\n', start);
        if (end == std::string::npos)
            end = raw.size();
        std::string line = raw.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (!line.empty())
            lines.push_back(cp1252ToUtf8(line));
        start = end + 1;
    }
}

void TIdFTP::TransferType(TIdFTPTransferType type)
{
    impl_->expect("TYPE", type == TIdFTPTransferType::ftBinary ? "I" : "A", {200});
}

std::int64_t TIdFTP::Size(const std::string& name)
{
    FtpReply reply = impl_->expect("SIZE", name, {213});
    auto value = FtpCommand::sizeValue(reply.text);
    if (!value)
        throw FtpError("Resposta inválida do servidor FTP ao pedir o tamanho de \"" + name + "\": " + reply.text,
                       reply.code);
    return *value;
}

void TIdFTP::Get(const std::string& remote, const std::string& localPath, bool overwrite, std::int64_t size)
{
    impl_->requireConnected();
    const std::string line = FtpCommand::encode("RETR", remote);
    FileHandle file;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
    file.fd = ::open(localPath.c_str(), flags, 0644);
    if (file.fd < 0) {
        const int error = errno;
        if (error == EEXIST)
            throw LocalFileError::Told("O arquivo local \"" + localPath + "\" já existe.", localPath, error);
        throw LocalFileError("Não foi possível criar o arquivo local", localPath, error);
    }
    DownloadRoom room;
    if (!room.reserve(file.fd, size))
        throw LocalFileError(writeFailed, localPath, errno);
    // Socket to file through a pipe: the bytes never pass through our memory. Without a pipe of a
    // block's room, through the buffer.
    DownloadPipe pipe;
    const std::size_t step = pipe.open({kSplicedStep, Impl::kBlock});
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

void TIdFTP::Get(const std::string& remote, std::ostream& out, std::int64_t size)
{
    impl_->requireConnected();
    const std::string line = FtpCommand::encode("RETR", remote);
    Impl::Sink sink = [&out](const char* p, std::size_t n) {
        out.write(p, static_cast<std::streamsize>(n));
        if (!out)
            throw FtpError("Falha ao gravar os dados recebidos do servidor FTP.");
    };
    Impl::Job job = Impl::Job::withWork("RETR", line, size);
    job.sink = &sink;
    impl_->transfer(job);
    out.flush();
}

void TIdFTP::Put(const std::string& localPath, const std::string& remote, bool append)
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
    job.source = &source;
    job.sourceFd = file.fd;
    impl_->transfer(job);
}

void TIdFTP::Put(std::istream& in, const std::string& remote, bool append)
{
    impl_->requireConnected();
    const std::string verb = append ? "APPE" : "STOR";
    const std::string line = FtpCommand::encode(verb, remote);
    std::int64_t expected = -1;
    const auto here = in.tellg();
    if (here != std::istream::pos_type(-1)) {
        in.seekg(0, std::ios::end);
        const auto end = in.tellg();
        in.seekg(here);
        if (end != std::istream::pos_type(-1))
            expected = static_cast<std::int64_t>(end - here);
    }
    in.clear();
    Impl::Source source = [&in](char* p, std::size_t n) -> std::size_t {
        in.read(p, static_cast<std::streamsize>(n));
        if (in.bad())
            throw FtpError("Falha ao ler os dados a enviar ao servidor FTP.");
        return static_cast<std::size_t>(in.gcount());
    };
    Impl::Job job = Impl::Job::withWork(verb, line, expected);
    job.source = &source;
    impl_->transfer(job);
}

void TIdFTP::Delete(const std::string& name) { impl_->expect("DELE", name, {250, 200}); }

void TIdFTP::RemoveDir(const std::string& name) { impl_->expect("RMD", name, {250, 200}); }

void TIdFTP::MakeDir(const std::string& name) { impl_->expect("MKD", name, {257, 250}); }

void TIdFTP::Abort()
{
    if (impl_->transferRunning)
        impl_->abortRequested = true;
}

void TIdFTP::KillDataChannel()
{
    if (impl_->transferRunning)
        impl_->data.kill();
}

int TIdFTP::SendCmd(const std::string& command, std::initializer_list<int> okCodes)
{
    const auto space = command.find(' ');
    const std::string verb = command.substr(0, space);
    const std::string argument = space == std::string::npos ? std::string() : command.substr(space + 1);
    if (verb.find_first_of("\r\n") != std::string::npos)
        throw FtpError("O comando contém quebra de linha e não foi enviado ao servidor FTP.");
    std::string upperVerb = verb;
    for (auto& c : upperVerb)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool secret = upperVerb == "PASS";
    return impl_->expect(verb, argument, okCodes, secret).code;
}

const std::string& TIdFTP::LastReply() const { return impl_->lastReply; }

} // namespace Platform
