#include "platform/ftp/ftp_client_impl.h"
#include "platform/ftp/ftp_command.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace Platform {

namespace {

constexpr std::chrono::milliseconds kHeartbeat{100};
constexpr std::chrono::milliseconds kAbortReplyWait{5000};

} // namespace

TIdFTP::Impl::Job TIdFTP::Impl::Job::withWork(const std::string& verb, const std::string& wireLine,
                                              std::int64_t expected)
{
    Job job;
    job.verb = verb;
    job.wireLine = wireLine;
    job.expected = expected;
    job.workEvents = true;
    return job;
}

void TIdFTP::Impl::transfer(const Job& job)
{
    requireConnected();
    if (buffer.size() != kBlock)
        buffer.resize(kBlock);
    const TWorkMode mode = job.sink ? TWorkMode::wmRead : TWorkMode::wmWrite;
    bool begun = false;
    abortRequested = false;
    abortSent = false;
    carried = job.startAt;
    data.setTick([this, &job, mode, &begun](std::size_t moved) { tick(job, mode, begun, moved); });
    try {
        // A server that cannot connect to us is asked again, in passive mode (which never refuses so).
        if (!startTransfer(job))
            startTransfer(job);
        if (job.workEvents) {
            status(TIdStatus::ftpTransfer, "Transferindo.");
            begun = true;
            if (self.OnWorkBegin)
                self.OnWorkBegin(mode, std::max<std::int64_t>(job.expected, 0));
        }
        if (job.sink)
            runDownload(job);
        else
            runUpload(job);
    } catch (const FtpTimeout&) {
        // A server that stopped answering leaves the session out of step: give it up.
        transferRunning = false;
        data.setTick(nullptr);
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
        data.setTick(nullptr);
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
    data.setTick(nullptr);
    if (begun) {
        if (self.OnWorkEnd)
            self.OnWorkEnd(mode);
        status(TIdStatus::ftpReady, "Transferência concluída.");
    }
}

void TIdFTP::Impl::tick(const Job& job, TWorkMode mode, bool begun, std::size_t moved)
{
    if (abortRequested)
        abortSequence();
    if (begun && job.workEvents && self.OnWork) {
        try {
            self.OnWork(mode, carried + static_cast<std::int64_t>(moved));
        } catch (...) {
            abortAfterLocalFailure();
            throw;
        }
        if (abortRequested)
            abortSequence();
    }
    if (job.deadline && std::chrono::steady_clock::now() >= *job.deadline) {
        abortAfterLocalFailure();
        throw FtpError(job.overdue);
    }
}

void TIdFTP::Impl::dataFailed()
{
    if (abortRequested && !abortSent)
        abortSequence();
    if (!abortSent) {
        data.close();
        readReply();
    }
    throw;
}

namespace {

std::string countMismatch(std::int64_t received, std::int64_t expected)
{
    return "recebidos " + std::to_string(received) + " de " + std::to_string(expected) + " bytes";
}

} // namespace

void TIdFTP::Impl::runDownload(const Job& job)
{
    const bool sized = job.expected >= 0;
    auto receive = [&](char* into, std::size_t want, const Receive* via) -> std::size_t {
        try {
            return via ? (*via)(into, want) : data.receiveBlock(into, want);
        } catch (const FtpTimeout&) {
            throw;
        } catch (const FtpError&) {
            dataFailed();
        }
    };
    for (;;) {
        // Never past the announced size: what the server sends beyond it is not written.
        std::size_t want = job.block;
        if (sized)
            want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(job.block), job.expected - carried));
        if (want == 0) {
            char extra = 0;
            if (receive(&extra, 1, nullptr) > 0) {
                abortAfterLocalFailure();
                throw FtpError(countMismatch(carried + 1, job.expected));  // more than announced: no resume
            }
            break;
        }
        const std::size_t n = receive(buffer.data(), want, job.receive);
        if (abortRequested)
            abortSequence();
        try {
            (*job.sink)(buffer.data(), n);
            carried += static_cast<std::int64_t>(n);
            if (n > 0 && job.workEvents && self.OnWork)
                self.OnWork(TWorkMode::wmRead, carried);
        } catch (...) {
            if (!abortSent)
                abortAfterLocalFailure();
            throw;
        }
        if (abortRequested)
            abortSequence();
        // A block read through memory is filled unless the data ended; a move to the file brings
        // what has arrived, and only nothing means the end.
        if (job.receive ? n == 0 : n < want)
            break;
    }
    data.close();
    finishTransfer(job, TWorkMode::wmRead, carried);
    if (sized && carried != job.expected)
        throw FtpDataLost(countMismatch(carried, job.expected));
}

void TIdFTP::Impl::runUpload(const Job& job)
{
    // A data call that fails: the server's reply says why (a time-out has nothing more to say).
    auto onData = [this](auto move) {
        try {
            return move();
        } catch (const FtpTimeout&) {
            throw;
        } catch (const FtpError&) {
            dataFailed();
        }
    };
    bool direct = job.sourceFd >= 0;
    if (direct)
        data.keepLittleUnsent();
    for (;;) {
        std::size_t n = 0;
        bool fellBack = false;
        if (direct) {
            n = onData([&] { return data.sendFromFile(job.sourceFd, kBlock, fellBack); });
            direct = !fellBack;
        } else {
            try {
                while (n < kBlock) {
                    std::size_t got = (*job.source)(buffer.data() + n, kBlock - n);
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
            onData([&] {
                data.sendAll(buffer.data(), n);
                return 0;
            });
        }
        carried += static_cast<std::int64_t>(n);
        if (job.workEvents && self.OnWork && n > 0) {
            try {
                self.OnWork(TWorkMode::wmWrite, carried);
            } catch (...) {
                abortAfterLocalFailure();
                throw;
            }
        }
        if (abortRequested)
            abortSequence();
        if (n < kBlock && !fellBack)
            break;
    }
    data.finishSending(control.hasBufferedInput() ? -1 : control.descriptor());
    finishTransfer(job, TWorkMode::wmWrite, carried);
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

void TIdFTP::Impl::finishTransfer(const Job& job, TWorkMode mode, std::int64_t total)
{
    // The wait for the final reply gets one ReadTimeout in all, heartbeats included, and no more
    // than the job has left.
    auto deadline = std::chrono::steady_clock::now() + self.ReadTimeout;
    if (job.deadline)
        deadline = std::min(deadline, *job.deadline);
    if (job.workEvents && self.OnWork)
        awaitFinalReply(mode, total, deadline);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    FtpReply reply = readReply(std::max(std::chrono::milliseconds(1), left));
    // 426: the server saw the data connection break; what came is all there is.
    if (reply.code == 426)
        throw FtpDataLost(FtpCommand::hideSecret(reply.text, self.Password), reply.code);
    if (reply.code < 200 || reply.code >= 300)
        refused(job.verb, reply);
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
    abortSent = true;
    // A server that got ABOR answers at once; one that does not is given up soon, so that a stop
    // (a closing screen, a host on its way out) is never held for a whole time-out.
    const auto replyWait = std::min<std::chrono::milliseconds>(self.ReadTimeout, kAbortReplyWait);
    try {
        try {
            control.sendAbort();
        } catch (...) {
            noticeClosed();
            throw;
        }
        data.abandon();
        // The transfer's own reply (426, or 226 when it had ended), then the reply to ABOR.
        // A 225 first means the server had no transfer to answer for.
        FtpReply first = readReply(replyWait);
        if (first.code != 225)
            readReply(replyWait);
    } catch (const FtpError&) {
        data.close();
        status(TIdStatus::ftpAborted, "Transferência cancelada.");
        throw FtpAborted("Transferência cancelada; a conexão com o servidor FTP foi encerrada.");
    }
    status(TIdStatus::ftpAborted, "Transferência cancelada.");
    throw FtpAborted("Transferência cancelada.");
}

} // namespace Platform
