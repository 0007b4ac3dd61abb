#include "platform/ftp_client_impl.h"
#include "platform/ftp_command.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace Platform {

namespace {

constexpr std::chrono::milliseconds kHeartbeat{100};

} // namespace

void TIdFTP::Impl::openDataConnection()
{
    if (self.Passive) {
        std::optional<int> port;
        if (!epsvRefused) {
            FtpReply reply = command("EPSV", "");
            if (reply.code == 229) {
                port = FtpCommand::epsvPort(reply.text);
                if (!port)
                    throw FtpError("Resposta inválida do servidor FTP ao EPSV: " + reply.text, reply.code);
            } else if (reply.code >= 500) {
                epsvRefused = true;
            } else {
                refused("EPSV", reply);
            }
        }
        if (!port) {
            FtpReply reply = expect("PASV", "", {227});
            port = FtpCommand::pasvPort(reply.text);
            if (!port)
                throw FtpError("Resposta inválida do servidor FTP ao PASV: " + reply.text, reply.code);
        }
        // The server's own address in the reply may be one we cannot reach; its control address works.
        data.connect(Poco::Net::SocketAddress(control.peerAddress().host(), static_cast<Poco::UInt16>(*port)),
                     self.ConnectTimeout);
        return;
    }
    const Poco::Net::SocketAddress local = data.listen(control.localAddress().host());
    const bool ipv6 = local.family() == Poco::Net::SocketAddress::IPv6;
    if (!eprtRefused) {
        FtpReply reply = command("EPRT", FtpCommand::eprtArgument(local.host().toString(), ipv6, local.port()));
        if (reply.code == 200)
            return;
        if (reply.code < 500 || ipv6)
            refused("EPRT", reply);
        eprtRefused = true;
    }
    expect("PORT", FtpCommand::portArgument(local.host().toString(), local.port()), {200});
}

void TIdFTP::Impl::transfer(const std::string& verb, const std::string& wireLine, const Sink* sink,
                            const Source* source, std::int64_t expected, bool workEvents, const Receive* receive)
{
    requireConnected();
    if (buffer.size() != kBlock)
        buffer.resize(kBlock);
    const TWorkMode mode = sink ? TWorkMode::wmRead : TWorkMode::wmWrite;
    bool begun = false;
    abortRequested = false;
    try {
        openDataConnection();
        try {
            control.send(wireLine);
        } catch (...) {
            noticeClosed();
            throw;
        }
        FtpReply first = readReply();
        if (first.code < 100 || first.code >= 200)
            refused(verb, first);
        transferRunning = true;
        if (!self.Passive) {
            try {
                if (!data.accept(self.ReadTimeout, control.descriptor(), control.hasBufferedInput())) {
                    // The server answered instead of connecting (425, or it went away).
                    FtpReply reply = readReply();
                    refused(verb, reply);
                }
            } catch (const FtpTimeout&) {
                throw;
            } catch (const FtpError&) {
                if (abortRequested)
                    abortSequence();
                throw;
            }
        }
        data.setTimeout(self.ReadTimeout);
        if (workEvents) {
            status(TIdStatus::ftpTransfer, "Transferindo.");
            begun = true;
            if (self.OnWorkBegin)
                self.OnWorkBegin(mode, expected);
        }
        if (sink)
            runDownload(*sink, workEvents, receive);
        else
            runUpload(*source, workEvents);
    } catch (const FtpTimeout&) {
        // A server that stopped answering leaves the session out of step: give it up.
        transferRunning = false;
        data.close();
        closeControl("Tempo esgotado.");
        if (begun && self.OnWorkEnd) {
            try {
                self.OnWorkEnd(mode);
            } catch (...) {
            }
        }
        throw;
    } catch (...) {
        transferRunning = false;
        data.close();
        if (begun && self.OnWorkEnd) {
            try {
                self.OnWorkEnd(mode);
            } catch (...) {
            }
        }
        throw;
    }
    transferRunning = false;
    if (begun) {
        if (self.OnWorkEnd)
            self.OnWorkEnd(mode);
        status(TIdStatus::ftpReady, "Transferência concluída.");
    }
}

void TIdFTP::Impl::runDownload(const Sink& sink, bool workEvents, const Receive* receive)
{
    std::int64_t total = 0;
    for (;;) {
        std::size_t n = 0;
        try {
            n = receive ? (*receive)(buffer.data(), kBlock) : data.receiveBlock(buffer.data(), kBlock);
        } catch (const FtpTimeout&) {
            throw;
        } catch (const FtpError&) {
            if (abortRequested)
                abortSequence();
            data.close();
            readReply();
            throw;
        }
        if (abortRequested)
            abortSequence();
        try {
            sink(buffer.data(), n);
            total += static_cast<std::int64_t>(n);
            if (n > 0 && workEvents && self.OnWork)
                self.OnWork(TWorkMode::wmRead, total);
        } catch (...) {
            if (!abortRequested)
                abortAfterLocalFailure();
            throw;
        }
        if (abortRequested)
            abortSequence();
        if (n < kBlock)
            break;
    }
    data.close();
    finishTransfer("RETR", TWorkMode::wmRead, total, workEvents);
}

void TIdFTP::Impl::runUpload(const Source& source, bool workEvents)
{
    std::int64_t total = 0;
    for (;;) {
        std::size_t n = 0;
        try {
            while (n < kBlock) {
                std::size_t got = source(buffer.data() + n, kBlock - n);
                if (got == 0)
                    break;
                n += got;
            }
        } catch (...) {
            abortAfterLocalFailure();
            throw;
        }
        if (abortRequested)
            abortSequence();
        if (n == 0)
            break;
        try {
            data.sendAll(buffer.data(), n);
        } catch (const FtpTimeout&) {
            throw;
        } catch (const FtpError&) {
            if (abortRequested)
                abortSequence();
            data.close();
            readReply();
            throw;
        }
        total += static_cast<std::int64_t>(n);
        if (workEvents && self.OnWork) {
            try {
                self.OnWork(TWorkMode::wmWrite, total);
            } catch (...) {
                abortAfterLocalFailure();
                throw;
            }
        }
        if (abortRequested)
            abortSequence();
        if (n < kBlock)
            break;
    }
    data.finishSending();
    finishTransfer("STOR", TWorkMode::wmWrite, total, workEvents);
}

// A local failure mid-transfer (disk full, a throwing handler): tell the server to stop, so that the
// session stays in step for the next command.
void TIdFTP::Impl::abortAfterLocalFailure() noexcept
{
    if (!control.isOpen())
        return;
    try {
        abortRequested = true;
        abortSequence();
    } catch (...) {
    }
}

void TIdFTP::Impl::finishTransfer(const std::string& verb, TWorkMode mode, std::int64_t total, bool workEvents)
{
    // The wait for the final reply gets one ReadTimeout in all, heartbeats included.
    const auto deadline = std::chrono::steady_clock::now() + self.ReadTimeout;
    if (workEvents && self.OnWork)
        awaitFinalReply(mode, total, deadline);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    FtpReply reply = readReply(std::max(std::chrono::milliseconds(1), left));
    if (reply.code < 200 || reply.code >= 300)
        refused(verb, reply);
    if (data.killed())
        throw FtpError("A conexão de dados foi encerrada antes do fim da transferência.");
}

// After an upload the socket buffers may still hold megabytes the server has not read; until its
// final reply comes, the last work event is repeated so that a stop request is still heard.
void TIdFTP::Impl::awaitFinalReply(TWorkMode mode, std::int64_t total,
                                     std::chrono::steady_clock::time_point deadline)
{
    while (!control.hasBufferedInput() && std::chrono::steady_clock::now() < deadline) {
        pollfd watch{control.descriptor(), POLLIN, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(kHeartbeat.count()));
        if (ready > 0 || (ready < 0 && errno != EINTR))
            return; // the reply, a hang-up or an error: readReply tells which
        try {
            self.OnWork(mode, total);
        } catch (...) {
            abortAfterLocalFailure();
            throw;
        }
        if (abortRequested)
            abortSequence();
    }
}

void TIdFTP::Impl::abortSequence()
{
    try {
        try {
            control.sendAbort();
        } catch (...) {
            noticeClosed();
            throw;
        }
        data.close();
        // The transfer's own reply (426, or 226 when it had ended), then the reply to ABOR.
        // A 225 first means the server had no transfer to answer for.
        FtpReply first = readReply();
        if (first.code != 225)
            readReply();
    } catch (const FtpError&) {
        data.close();
        status(TIdStatus::ftpAborted, "Transferência cancelada.");
        throw FtpAborted("Transferência cancelada; a conexão com o servidor FTP foi encerrada.");
    }
    status(TIdStatus::ftpAborted, "Transferência cancelada.");
    throw FtpAborted("Transferência cancelada.");
}

} // namespace Platform
