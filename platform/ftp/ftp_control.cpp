#include "platform/ftp/ftp_control.h"

#include "platform/ftp/ftp_command.h"
#include "platform/ftp/ftp_errors.h"
#include "platform/ftp/tls_stream.h"
#include "platform/common/net_error_text.h"
#include "platform/common/text_codec.h"

#include <Poco/Exception.h>
#include <Poco/Net/NetException.h>

#include <poll.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace Platform {

namespace {

// A reply line longer than this, or a reply with more lines, is not an FTP reply.
constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::size_t kMaxLines = 10000;
// One reply, all its lines: more than any server's greeting or help text.
constexpr std::size_t kMaxReply = 1u << 20;

bool startsWithCode(const std::string& line)
{
    return line.size() >= 3 && line[0] >= '1' && line[0] <= '5' && std::isdigit(static_cast<unsigned char>(line[1]))
        && std::isdigit(static_cast<unsigned char>(line[2]));
}

// At most 80 characters of a raw reply line, readable, the password masked before the cut: a cut
// through it would otherwise show its first part.
std::string printable(const std::string& raw, const std::string& secret)
{
    constexpr std::size_t kShown = 80;
    std::string out = FtpCommand::hideSecret(cp1252ToUtf8(raw), secret);
    std::size_t end = 0;
    for (std::size_t shown = 0; end < out.size(); ++end) {
        if ((static_cast<unsigned char>(out[end]) & 0xC0) != 0x80 && shown++ == kShown)
            break;
    }
    out.resize(end);
    for (auto& c : out)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    return out;
}

// Telnet-doubled 0xFF in a reply stands for one 0xFF.
std::string undoubleIac(const std::string& line)
{
    if (line.find("\xFF\xFF") == std::string::npos)
        return line;
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        out += line[i];
        if (static_cast<unsigned char>(line[i]) == 0xFF && i + 1 < line.size()
            && static_cast<unsigned char>(line[i + 1]) == 0xFF)
            ++i;
    }
    return out;
}

} // namespace

FtpControlConnection::FtpControlConnection() = default;

FtpControlConnection::~FtpControlConnection() { close(); }

void FtpControlConnection::open(const std::string& host, int port, std::chrono::milliseconds connectTimeout,
                                std::chrono::milliseconds sendTimeout)
{
    close();
    where_ = shownValue(host) + ":" + std::to_string(port);
    try {
        Poco::Net::SocketAddress address(host, static_cast<Poco::UInt16>(port));
        socket_ = Poco::Net::StreamSocket(address.family());
        if (hook)
            connectServed(address, connectTimeout);
        else
            socket_.connect(address, Poco::Timespan(connectTimeout.count() * 1000));
        socket_.setNoDelay(true);
        socket_.setSendTimeout(Poco::Timespan(sendTimeout.count() * 1000));
        sendTimeout_ = sendTimeout;
        peer_ = socket_.peerAddress();
        open_ = true;
    } catch (const Poco::TimeoutException&) {
        throw FtpTimeout("Tempo esgotado ao conectar ao servidor FTP " + where_ + ".");
    } catch (const Poco::Net::ConnectionRefusedException&) {
        throw FtpError("O servidor FTP " + where_ + " recusou a conexão.");
    } catch (const Poco::Net::HostNotFoundException&) {
        throw FtpError("Servidor FTP não encontrado: " + shownValue(host) + ".");
    } catch (const Poco::Net::NoAddressFoundException&) {
        throw FtpError("Servidor FTP não encontrado: " + shownValue(host) + ".");
    } catch (const Poco::Exception& e) {
        throw FtpError("Não foi possível conectar ao servidor FTP " + where_ + ": " + describeNetworkError(e) + ".");
    } catch (...) {
        socket_.close();
        throw;
    }
}

// The connect runs in the background while the hook is served; its outcome comes back as the
// Poco exception a blocking connect would have thrown.
void FtpControlConnection::connectServed(const Poco::Net::SocketAddress& address, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    socket_.connectNB(address);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw Poco::TimeoutException();
        const auto slice = std::min(left, kWaitSlice);
        if (socket_.poll(Poco::Timespan(slice.count() * 1000), Poco::Net::Socket::SELECT_WRITE | Poco::Net::Socket::SELECT_ERROR))
            break;
        hook();
    }
    const int error = socket_.impl()->socketError();
    if (error == ECONNREFUSED)
        throw Poco::Net::ConnectionRefusedException(where_);
    if (error == ETIMEDOUT)
        throw Poco::TimeoutException();
    if (error != 0)
        throw Poco::Net::NetException(describeSystemError(error));
    socket_.setBlocking(true);
}

void FtpControlConnection::close() noexcept
{
    if (tls_) {
        if (open_)
            tls_->shutdown();
        tls_.reset();
    }
    if (open_) {
        try {
            socket_.close();
        } catch (...) {
        }
    }
    open_ = false;
    buffer_.clear();
    bufferPos_ = 0;
}

void FtpControlConnection::fail(int kind, const std::string& message, int code)
{
    close();
    std::string text = FtpCommand::hideSecret(message, secret);
    if (kind == kLost)
        throw FtpConnectionLost(text, code);
    if (kind == kTimeout)
        throw FtpTimeout(text, code);
    throw FtpError(text, code);
}

void FtpControlConnection::send(const std::string& wireLine)
{
    if (!open_)
        throw FtpConnectionLost("Sem conexão com o servidor FTP.");
    if (tls_) {
        sendTls(wireLine);
        return;
    }
    std::size_t sent = 0;
    while (sent < wireLine.size()) {
        ssize_t n = ::send(socket_.impl()->sockfd(), wireLine.data() + sent, wireLine.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                fail(kTimeout, "Tempo esgotado ao enviar comando ao servidor FTP " + where_ + ".");
            fail(kLost, "A conexão com o servidor FTP " + where_ + " foi perdida (" + describeSystemError(errno) + ").");
        }
        sent += static_cast<std::size_t>(n);
    }
}

void FtpControlConnection::sendAbort()
{
    if (!open_)
        throw FtpConnectionLost("Sem conexão com o servidor FTP.");
    if (tls_) {
        send("ABOR\r\n");
        return;
    }
    // The urgent IAC makes a server that reads the control connection only between transfers
    // look at it now; the DM after it ends the Telnet synch.
    const int fd = socket_.impl()->sockfd();
    const unsigned char ip[] = {0xFF, 0xF4};
    const unsigned char iac = 0xFF;
    if (::send(fd, ip, sizeof ip, MSG_NOSIGNAL) < 0 || ::send(fd, &iac, 1, MSG_OOB | MSG_NOSIGNAL) < 0)
        fail(kLost, "A conexão com o servidor FTP " + where_ + " foi perdida (" + describeSystemError(errno) + ").");
    send("\xF2" "ABOR\r\n");
}

bool FtpControlConnection::readLine(std::string& line, std::chrono::steady_clock::time_point deadline)
{
    line.clear();
    for (;;) {
        auto nl = buffer_.find('\n', bufferPos_);
        if (nl != std::string::npos) {
            line.assign(buffer_, bufferPos_, nl - bufferPos_);
            bufferPos_ = nl + 1;
            if (bufferPos_ == buffer_.size()) {
                buffer_.clear();
                bufferPos_ = 0;
            }
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        if (buffer_.size() - bufferPos_ > kMaxLine)
            fail(kError, "O servidor FTP " + where_ + " enviou uma resposta inválida (linha longa demais).");
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            fail(kTimeout, "Tempo esgotado aguardando resposta do servidor FTP " + where_ + ".");
        char chunk[4096];
        int n = 0;
        if (tls_) {
            n = static_cast<int>(receiveTls(chunk, sizeof chunk, deadline));
        } else {
            if (!waitReadable(deadline))
                fail(kTimeout, "Tempo esgotado aguardando resposta do servidor FTP " + where_ + ".");
            try {
                n = socket_.receiveBytes(chunk, sizeof chunk);
            } catch (const Poco::TimeoutException&) {
                fail(kTimeout, "Tempo esgotado aguardando resposta do servidor FTP " + where_ + ".");
            } catch (const Poco::Exception& e) {
                fail(kLost, "A conexão com o servidor FTP " + where_ + " foi perdida (" + describeNetworkError(e) + ").");
            }
        }
        if (n <= 0)
            fail(kLost, "O servidor FTP " + where_ + " encerrou a conexão.");
        if (bufferPos_ > 0) {
            buffer_.erase(0, bufferPos_);
            bufferPos_ = 0;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

bool FtpControlConnection::waitReadable(std::chrono::steady_clock::time_point deadline)
{
    if (tls_ && tls_->pending())
        return true;
    return waitFor(POLLIN, deadline);
}

bool FtpControlConnection::waitFor(short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        if (hook)
            left = std::min(left, kWaitSlice);
        // One poll() call: a reply in a busy session is waited for after every command, and
        // Poco's poll builds and tears down an epoll set each time. A hang-up or an error counts
        // as readable: the read that follows says which.
        pollfd watch{socket_.impl()->sockfd(), events, 0};
        const int ready = ::poll(&watch, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            fail(kLost, "A conexão com o servidor FTP " + where_ + " foi perdida (" + describeSystemError(errno) + ").");
        if (hook)
            hook();
    }
}

FtpReply FtpControlConnection::readReply(std::chrono::milliseconds timeout)
{
    if (!open_)
        throw FtpConnectionLost("Sem conexão com o servidor FTP.");
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string line;
    readLine(line, deadline);
    if (!startsWithCode(line) || (line.size() > 3 && line[3] != ' ' && line[3] != '-'))
        fail(kError,
             "O servidor FTP " + where_ + " enviou uma resposta inválida: \"" + printable(line, secret) + "\".");
    FtpReply reply;
    reply.code = std::stoi(line.substr(0, 3));
    std::string text = cp1252ToUtf8(undoubleIac(line));
    if (line.size() > 3 && line[3] == '-') {
        const std::string code = line.substr(0, 3);
        std::size_t bytes = line.size();
        for (std::size_t lines = 1;; ++lines) {
            if (lines > kMaxLines)
                fail(kError, "O servidor FTP " + where_ + " enviou uma resposta inválida (linhas demais).");
            readLine(line, deadline);
            bytes += line.size() + 2;
            if (bytes > kMaxReply)
                fail(kError, "O servidor FTP " + where_ + " enviou uma resposta longa demais (mais de 1 MB).");
            text += '\n';
            text += cp1252ToUtf8(undoubleIac(line));
            if (line.compare(0, 3, code) == 0 && (line.size() == 3 || line[3] == ' '))
                break;
        }
    }
    reply.text = std::move(text);
    if (reply.code == 421)
        fail(kLost, "O servidor FTP " + where_ + " encerrou a sessão: " + reply.text, 421);
    return reply;
}

bool FtpControlConnection::peekAlive()
{
    if (!open_)
        return false;
    if (bufferPos_ < buffer_.size())
        return buffer_.compare(bufferPos_, 3, "421") != 0;
    if (tls_)
        return peekAliveTls();
    char head[3];
    ssize_t n = ::recv(socket_.impl()->sockfd(), head, sizeof head, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0)
        return false;
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    return !(n == 3 && std::memcmp(head, "421", 3) == 0);
}

bool FtpControlConnection::hasBufferedInput() const
{
    return bufferPos_ < buffer_.size() || (tls_ && tls_->pending());
}

int FtpControlConnection::descriptor() const { return open_ ? socket_.impl()->sockfd() : -1; }

Poco::Net::SocketAddress FtpControlConnection::localAddress() const { return socket_.address(); }

Poco::Net::SocketAddress FtpControlConnection::peerAddress() const { return peer_; }

} // namespace Platform
