#include "bench/transfer/bare_control.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void bareFail(const char* program, const std::string& what)
{
    std::fprintf(stderr, "%s: %s%s%s\n", program, what.c_str(), errno ? ": " : "", errno ? std::strerror(errno) : "");
    std::exit(1);
}

BareControl::BareControl(const char* host)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(21);
    if (fd_ < 0 || ::inet_pton(AF_INET, host, &to.sin_addr) != 1
        || ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        bareFail("bare receiver", std::string("connect to ") + host);
}

BareControl::~BareControl() { ::close(fd_); }

int BareControl::reply()
{
    std::string ignored;
    return reply(ignored);
}

int BareControl::reply(std::string& firstLine)
{
    std::string first = line();
    firstLine = first;
    if (first.size() > 3 && first[3] == '-')
        for (std::string more = line(); more.compare(0, 3, first, 0, 3) != 0 || more[3] != ' '; more = line()) {
        }
    return std::atoi(first.substr(0, 3).c_str());
}

int BareControl::send(const std::string& command)
{
    std::string ignored;
    return sendForText(command, ignored);
}

int BareControl::sendForText(const std::string& command, std::string& text)
{
    const std::string wire = command + "\r\n";
    const long sent = ssl_ ? SSL_write(ssl_, wire.data(), static_cast<int>(wire.size()))
                           : ::send(fd_, wire.data(), wire.size(), MSG_NOSIGNAL);
    if (sent != static_cast<long>(wire.size()))
        bareFail("bare receiver", "send " + command);
    return reply(text);
}

void BareControl::logIn(const char* user, const char* password)
{
    const int code = send(std::string("USER ") + user);
    if (code == 331 && send(std::string("PASS ") + password) != 230)
        bareFail("bare receiver", "login refused");
    if (code != 331 && code != 230)
        bareFail("bare receiver", "login refused");
}

void BareControl::endTransfer(int dataFd, int fileFd)
{
    ::close(dataFd);
    if (::close(fileFd) != 0)
        bareFail("bare receiver", "close the file");
    if (reply() != 226)
        bareFail("bare receiver", "no 226 after the transfer");
    send("QUIT");
}

long BareControl::receive(char* into, unsigned long size)
{
    return ssl_ ? SSL_read(ssl_, into, static_cast<int>(size)) : ::recv(fd_, into, size, 0);
}

std::string BareControl::line()
{
    std::string out;
    for (;;) {
        while (start_ < end_) {
            const char c = buffer_[start_++];
            if (c == '\n')
                return out;
            if (c != '\r')
                out += c;
        }
        const long n = receive(buffer_, sizeof buffer_);
        if (n <= 0)
            bareFail("bare receiver", "control connection closed");
        start_ = 0;
        end_ = static_cast<unsigned long>(n);
    }
}
