#include "platform/ftp/id_ftp.h"

#include "platform/ftp/ftp_client_impl.h"
#include "platform/ftp/ftp_command.h"
#include "platform/common/net_error_text.h"
#include "platform/common/text_codec.h"

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

} // namespace

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
