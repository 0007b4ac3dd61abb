#include "screen/trust/certificate_question.h"

#include <QDateTime>
#include <QLocale>

namespace Cli_Vop31600 {

namespace {

const char* const kCaption = "Certificado do servidor FTP";

std::string dateOf(std::int64_t epoch)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil)
        .toString(QDateTime::fromSecsSinceEpoch(epoch).toLocalTime(), QStringLiteral("dd/MM/yyyy HH:mm"))
        .toStdString();
}

std::string details(const Platform::TlsCertificate& cert)
{
    std::string validity = "de " + dateOf(cert.notBefore) + " a " + dateOf(cert.notAfter);
    if (cert.expired)
        validity += " (EXPIRADO)";
    else if (cert.notYetValid)
        validity += " (AINDA NÃO VÁLIDO)";
    std::string text = "Titular: " + cert.subject + "\n";
    text += "Emissor: " + (cert.selfSigned ? std::string("autoassinado") : cert.issuer) + "\n";
    text += "Validade: " + validity + "\n";
    if (!cert.hostMatches)
        text += "Nome do servidor: NÃO CONFERE com o certificado\n";
    text += "Impressão digital (SHA-256):\n" + cert.fingerprint + "\n";
    return text;
}

std::vector<std::string> buttons() { return {"Confiar sempre", "Somente desta vez", "Não conectar"}; }

} // namespace

CertificateQuestion unknownCertificateQuestion(const std::string& hostPort, const Platform::TlsCertificate& cert)
{
    std::string why = cert.selfSigned  ? "é autoassinado"
                      : !cert.chainValid ? "não foi emitido por uma autoridade reconhecida por este computador"
                                         : "não é válido para este servidor";
    std::string text = "O certificado apresentado pelo servidor FTP " + hostPort + " " + why + ".\n\n" + details(cert)
        + "\nConfira a impressão digital com o responsável pelo servidor antes de confiar. Nada foi enviado ainda "
          "(nem usuário, nem senha).";
    return {kCaption, text, buttons(), 0};
}

CertificateQuestion changedCertificateQuestion(const std::string& hostPort, const Platform::TlsCertificate& cert,
                                               const std::string& trustedFingerprint)
{
    std::string text = "ATENÇÃO: o servidor FTP " + hostPort
        + " apresentou um certificado DIFERENTE do que foi confiado antes. Isso pode indicar que alguém está "
          "interceptando a conexão, ou que o certificado do servidor foi trocado.\n\n"
          "Impressão digital confiada (SHA-256):\n" + trustedFingerprint + "\n\nCertificado apresentado agora:\n"
        + details(cert) + "\nNada foi enviado ainda (nem usuário, nem senha).";
    return {kCaption, text, buttons(), static_cast<int>(CertificateAnswer::DoNotConnect)};
}

} // namespace Cli_Vop31600
