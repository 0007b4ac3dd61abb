// The machine's limit for one FTP download over TLS: log in after AUTH TLS, PBSZ 0, PROT P, EPSV,
// RETR, and decrypt the data connection (resuming the control connection's TLS session) into the
// file in 1 MiB writes. No screen, no progress, no certificate check, no checks beyond the final
// reply. The benchmark times it around its process, as it times curl and lftp.
//
//   bench_tls_receiver HOST USER PASSWORD REMOTE_PATH LOCAL_FILE
#include "bench/transfer/bare_control.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& what) { bareFail("bench_tls_receiver", what); }

SSL_SESSION* newest = nullptr;

int keepNewest(SSL*, SSL_SESSION* session)
{
    if (newest)
        SSL_SESSION_free(newest);
    newest = session;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_tls_receiver HOST USER PASSWORD REMOTE_PATH LOCAL_FILE\n");
        return 2;
    }
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(ctx, keepNewest);
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);

    BareControl control(argv[1]);
    if (control.reply() != 220 || control.send("AUTH TLS") != 234)
        fail("AUTH TLS refused");
    SSL* tls = SSL_new(ctx);
    SSL_set_fd(tls, control.fd());
    if (SSL_connect(tls) != 1)
        fail("TLS handshake");
    control.useTls(tls);
    control.logIn(argv[2], argv[3]);
    if (control.send("PBSZ 0") != 200 || control.send("PROT P") != 200 || control.send("TYPE I") != 200)
        fail("PBSZ, PROT or TYPE refused");
    // PASV: its reply is parsed for the port (the address is the control connection's peer).
    std::string pasv;
    if (control.sendForText("PASV", pasv) != 227)
        fail("PASV refused");
    unsigned h[6];
    const auto open = pasv.find('(');
    if (open == std::string::npos
        || std::sscanf(pasv.c_str() + open, "(%u,%u,%u,%u,%u,%u)", &h[0], &h[1], &h[2], &h[3], &h[4], &h[5]) != 6)
        fail("PASV reply");
    sockaddr_in to{};
    socklen_t length = sizeof to;
    ::getpeername(control.fd(), reinterpret_cast<sockaddr*>(&to), &length);
    to.sin_port = htons(static_cast<std::uint16_t>(h[4] * 256 + h[5]));
    const int data = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (data < 0 || ::connect(data, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
        fail("data connection");
    const int first = control.send(std::string("RETR ") + argv[4]);
    if (first != 150 && first != 125)
        fail("RETR refused");
    SSL* dataTls = SSL_new(ctx);
    SSL_set_fd(dataTls, data);
    if (newest)
        SSL_set_session(dataTls, SSL_SESSION_dup(newest));
    if (SSL_connect(dataTls) != 1)
        fail("data TLS handshake");
    const int file = ::open(argv[5], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0)
        fail("create the file");
    std::vector<char> block(1 << 20);
    for (;;) {
        std::size_t filled = 0;
        while (filled < block.size()) {
            std::size_t got = 0;
            if (SSL_read_ex(dataTls, block.data() + filled, block.size() - filled, &got) != 1)
                break;
            filled += got;
        }
        if (filled == 0)
            break;
        if (::write(file, block.data(), filled) != static_cast<ssize_t>(filled))
            fail("write the file");
    }
    control.endTransfer(data, file);
    return 0;
}
