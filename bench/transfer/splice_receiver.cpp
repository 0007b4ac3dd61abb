// The machine's limit for one FTP download: a client that does nothing but log in, RETR in active
// mode, and move socket -> pipe -> file with splice. No screen, no progress, no checks beyond the
// final reply. The benchmark times it around its process, as it times curl and lftp. Given a
// byte count, it first reserves that much room for the file, as the screen's worker does.
//
//   bench_splice_receiver HOST USER PASSWORD REMOTE_PATH LOCAL_FILE [RESERVE_BYTES]
#include "bench/transfer/bare_control.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void fail(const std::string& what) { bareFail("bench_splice_receiver", what); }

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6 && argc != 7) {
        std::fprintf(stderr, "usage: bench_splice_receiver HOST USER PASSWORD REMOTE_PATH LOCAL_FILE [RESERVE_BYTES]\n");
        return 2;
    }
    BareControl control(argv[1]);
    if (control.reply() != 220)
        fail("no greeting");
    control.logIn(argv[2], argv[3]);
    if (control.send("TYPE I") != 200)
        fail("TYPE I refused");

    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(control.fd(), reinterpret_cast<sockaddr*>(&local), &length);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    local.sin_port = 0;
    length = sizeof local;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
        || ::listen(listener, 1) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        fail("data listener");
    const std::uint32_t address = ntohl(local.sin_addr.s_addr);
    const unsigned port = ntohs(local.sin_port);
    char portArgument[64];
    std::snprintf(portArgument, sizeof portArgument, "PORT %u,%u,%u,%u,%u,%u", address >> 24, (address >> 16) & 255,
                  (address >> 8) & 255, address & 255, port >> 8, port & 255);
    if (control.send(portArgument) != 200)
        fail("PORT refused");
    const int first = control.send(std::string("RETR ") + argv[4]);
    if (first != 150 && first != 125)
        fail("RETR refused");
    const int data = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    const int file = ::open(argv[5], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int pipeEnds[2];
    if (data < 0 || file < 0 || ::pipe2(pipeEnds, O_CLOEXEC) != 0)
        fail("data connection, file or pipe");
    if (argc == 7 && ::fallocate(file, FALLOC_FL_KEEP_SIZE, 0, std::atoll(argv[6])) != 0)
        fail("reserve the file's room");
    ::fcntl(pipeEnds[1], F_SETPIPE_SZ, 1 << 20);
    for (;;) {
        const ssize_t moved = ::splice(data, nullptr, pipeEnds[1], nullptr, 1 << 20, SPLICE_F_MOVE);
        if (moved == 0)
            break;
        if (moved < 0)
            fail("splice from the socket");
        for (ssize_t left = moved; left > 0;) {
            const ssize_t written = ::splice(pipeEnds[0], nullptr, file, nullptr, static_cast<std::size_t>(left),
                                             SPLICE_F_MOVE);
            if (written <= 0)
                fail("splice into the file");
            left -= written;
        }
    }
    control.endTransfer(data, file);
    return 0;
}
