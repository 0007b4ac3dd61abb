// The session: the control connection's commands and replies, the log-in with its TLS, and the
// connection's life (connect, the check for a server that hung up, disconnect).
#include "platform/ftp/id_ftp.h"

#include "platform/ftp/ftp_client_impl.h"
#include "platform/ftp/ftp_command.h"
#include "platform/ftp/tls_stream.h"
#include "platform/common/net_error_text.h"

namespace Platform {

namespace {

bool isOneOf(int code, std::initializer_list<int> ok)
{
    if (ok.size() == 0)
        return true;
    for (int c : ok)
        if (c == code)
            return true;
    return false;
}

// What servers answer to AUTH TLS when they do not speak it (vsftpd without TLS: 530 before login).
bool refusesTls(int code) { return code == 500 || code == 502 || code == 504 || code == 534 || code == 530; }

} // namespace

// ---- Impl: commands ---------------------------------------------------------------------------

void TIdFTP::Impl::status(TIdStatus s, const std::string& text)
{
    if (self.OnStatus)
        self.OnStatus(s, text);
}

void TIdFTP::Impl::log(TIdLogKind kind, const std::string& text)
{
    if (!self.OnLog)
        return;
    try {
        self.OnLog(kind, text);
    } catch (...) {
        // The log never stops the session.
    }
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
        log(TIdLogKind::Received, reply.text);
        return reply;
    } catch (const std::exception& error) {
        log(TIdLogKind::Info, error.what());
        noticeClosed();
        throw;
    }
}

FtpReply TIdFTP::Impl::command(const std::string& verb, const std::string& argument, bool secret)
{
    requireConnected();
    const std::string line = FtpCommand::encode(verb, argument, secret);
    log(TIdLogKind::Sent, secret ? verb + " ****" : argument.empty() ? verb : verb + " " + argument);
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

bool TIdFTP::Impl::negotiateTls()
{
    const FtpReply reply = command("AUTH", "TLS");
    if (reply.code != 234) {
        if (refusesTls(reply.code) && self.UseTLS == TIdUseTLS::utUseExplicitTLS) {
            log(TIdLogKind::Info, "O servidor não aceita TLS: a sessão segue sem criptografia.");
            return false;
        }
        throw FtpTlsRefused("O servidor FTP " + self.Host + " não aceitou o TLS: " + reply.text, reply.code);
    }
    if (!tls)
        tls = std::make_unique<TlsClientContext>();
    tls->forgetSession();
    control.startTls(*tls, self.Host, self.ConnectTimeout);
    const TlsStream& stream = *control.tls();
    log(TIdLogKind::Info, "TLS: " + stream.protocol() + ", " + stream.cipher() + ".");
    judgeCertificate();
    return true;
}

void TIdFTP::Impl::judgeCertificate()
{
    const TlsCertificate cert = control.tls()->certificate();
    log(TIdLogKind::Info, "Certificado: " + cert.subject + " (SHA-256 " + cert.fingerprint + ").");
    const std::string where = self.Host + ":" + std::to_string(self.Port);
    if (cert.fingerprint.empty())
        throw FtpCertificateRejected("O servidor FTP " + where + " não apresentou certificado TLS.");
    if (!self.TrustedFingerprint.empty()) {
        if (cert.fingerprint != self.TrustedFingerprint)
            throw FtpCertificateRejected("O servidor FTP " + where
                                         + " apresentou um certificado diferente do aceito (SHA-256 " + cert.fingerprint
                                         + "); a conexão foi recusada.");
        return;
    }
    if (self.OnVerifyPeer) {
        if (!self.OnVerifyPeer(cert))
            throw FtpCertificateRejected("O certificado TLS do servidor FTP " + where
                                         + " não foi aceito; a conexão foi recusada.");
        return;
    }
    if (!cert.trustedBySystem())
        throw FtpCertificateRejected("O certificado TLS do servidor FTP " + where + " não é confiável"
                                     + (cert.chainValid ? std::string(" para este nome") : " (" + cert.chainError + ")")
                                     + "; a conexão foi recusada.");
}

void TIdFTP::Impl::protectData()
{
    expect("PBSZ", "0", {200});
    const FtpReply reply = command("PROT", "P");
    // Documents never go in clear over a session that encrypts its password.
    if (reply.code != 200)
        throw FtpTlsRefused("O servidor FTP " + self.Host + " não aceitou proteger as conexões de dados (PROT P): "
                            + reply.text, reply.code);
    protectedData = true;
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
    impl_->protectedData = false;
    impl_->control.secret = Password;
    impl_->armWaitHook();
    impl_->status(TIdStatus::hsResolving, "Resolvendo " + Host + ".");
    impl_->status(TIdStatus::hsConnecting, "Conectando a " + Host + ".");
    impl_->log(TIdLogKind::Info, "Conectando a " + Host + ":" + std::to_string(Port) + ".");
    try {
        impl_->control.open(Host, Port, ConnectTimeout, ReadTimeout);
    } catch (const std::exception& error) {
        impl_->log(TIdLogKind::Info, error.what());
        throw;
    }
    impl_->announced = true;
    impl_->status(TIdStatus::hsConnected, "Conectado a " + Host + ".");
    try {
        FtpReply banner = impl_->control.readReply(ConnectTimeout);
        impl_->log(TIdLogKind::Received, banner.text);
        while (banner.code >= 100 && banner.code < 200) {
            banner = impl_->control.readReply(ConnectTimeout);
            impl_->log(TIdLogKind::Received, banner.text);
        }
        impl_->lastReply = banner.text;
        if (banner.code != 220)
            throw FtpError("O servidor FTP recusou a conexão: " + banner.text, banner.code);
        const bool encrypted = UseTLS != TIdUseTLS::utNoTLSSupport && impl_->negotiateTls();
        impl_->login();
        if (encrypted) {
            impl_->protectData();
            impl_->status(TIdStatus::hsConnected, "Conectado a " + Host + " (TLS).");
        }
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

bool TIdFTP::Encrypted() const { return impl_->control.isOpen() && impl_->control.tls(); }

std::optional<TIdTlsInfo> TIdFTP::TlsInfo() const
{
    const TlsStream* stream = impl_->control.isOpen() ? impl_->control.tls() : nullptr;
    if (!stream)
        return std::nullopt;
    return TIdTlsInfo{stream->protocol(), stream->cipher(), stream->certificate().fingerprint};
}

void TIdFTP::Disconnect()
{
    if (!impl_->control.isOpen() && !impl_->announced)
        return;
    impl_->sayGoodbye();
    impl_->closeControl("Desconectando.");
}

void TIdFTP::Quit() { Disconnect(); }

} // namespace Platform
