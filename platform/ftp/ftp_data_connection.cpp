// A transfer's data connection: active (EPRT, then PORT) or passive (EPSV, then PASV), the fallback
// to passive mode when the server will not connect to us, and its TLS.
#include "platform/ftp/ftp_client_impl.h"
#include "platform/ftp/ftp_command.h"

namespace Platform {

namespace {

// How servers say they will not do active mode (vsftpd's port_enable=NO: "550 Permission denied.").
bool refusesActive(int code)
{
    return code == 500 || code == 501 || code == 502 || code == 504 || code == 522 || code == 550;
}

} // namespace

void TIdFTP::Impl::fallBackToPassive(const FtpReply& reply)
{
    data.close();
    self.Passive = true;
    log(TIdLogKind::Info, "O servidor recusou o modo ativo (" + std::to_string(reply.code) + "): modo passivo.");
}

void TIdFTP::Impl::openDataConnection()
{
    if (!self.Passive) {
        const Poco::Net::SocketAddress local = data.listen(control.localAddress().host());
        const bool ipv6 = local.family() == Poco::Net::SocketAddress::IPv6;
        bool announced = false;
        if (!eprtRefused) {
            FtpReply reply = command("EPRT", FtpCommand::eprtArgument(local.host().toString(), ipv6, local.port()));
            if (reply.code == 200)
                return;
            if (reply.code < 500)
                refused("EPRT", reply);
            if (ipv6) {
                if (!refusesActive(reply.code))
                    refused("EPRT", reply);
                fallBackToPassive(reply);
                announced = true;
            }
            eprtRefused = true;
        }
        if (!announced) {
            FtpReply reply = command("PORT", FtpCommand::portArgument(local.host().toString(), local.port()));
            if (reply.code == 200)
                return;
            if (!refusesActive(reply.code))
                refused("PORT", reply);
            fallBackToPassive(reply);
        }
    }
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
    // The server's own address in the reply may be one we cannot reach (a server behind NAT), or
    // another host altogether: the data connection goes to the control connection's peer.
    data.connect(Poco::Net::SocketAddress(control.peerAddress().host(), static_cast<Poco::UInt16>(*port)),
                 self.ConnectTimeout);
}

bool TIdFTP::Impl::startTransfer(const Job& job)
{
    openDataConnection();
    // REST comes last before the transfer command, as servers expect it; only downloads send it.
    if (job.startAt > 0 && job.sink) {
        const FtpReply reply = command("REST", std::to_string(job.startAt));
        if (reply.code != 350)
            throw FtpRestRefused(reply.text, reply.code);
    }
    log(TIdLogKind::Sent, job.wireLine.substr(0, job.wireLine.size() - 2));
    try {
        control.send(job.wireLine);
    } catch (...) {
        noticeClosed();
        throw;
    }
    FtpReply first = readReply();
    if (first.code == 425 && !self.Passive) {
        fallBackToPassive(first);
        return false;
    }
    if (first.code < 100 || first.code >= 200)
        refused(job.verb, first);
    transferRunning = true;
    if (!self.Passive) {
        try {
            if (!data.accept(control.peerAddress().host(), self.ReadTimeout, control.descriptor(),
                             control.hasBufferedInput())) {
                // The server answered instead of connecting (425, or it went away).
                FtpReply reply = readReply();
                if (reply.code == 425) {
                    transferRunning = false;
                    fallBackToPassive(reply);
                    return false;
                }
                refused(job.verb, reply);
            }
        } catch (const FtpTimeout&) {
            throw;
        } catch (const FtpError&) {
            if (abortRequested && !abortSent)
                abortSequence();
            throw;
        }
    }
    data.setTimeout(self.ReadTimeout);
    if (protectedData) {
        data.secure(*tls, self.Host);
        log(TIdLogKind::Info, data.resumedTls() ? "Conexão de dados TLS: sessão retomada."
                                                : "Conexão de dados TLS: sessão nova (não retomada).");
    }
    return true;
}

} // namespace Platform
