#include "nfe/signature_text.h"

#include "nfe/nfe_display.h"

namespace Nfe {
namespace {

QString chainText(const ChainResult& chain)
{
    switch (chain.status) {
    case ChainStatus::Verified:
        return QStringLiteral("verificada (%1)").arg(chain.detail);
    case ChainStatus::Invalid:
        return QStringLiteral("inválida: %1").arg(chain.detail);
    case ChainStatus::NotVerified:
        break;
    }
    // No root installed says so and no more: it is no judgement of the certificate.
    return chain.detail.isEmpty() ? QStringLiteral("cadeia não verificada") : chain.detail;
}

} // namespace

SignatureText signatureText(const SignatureCheck& check, const QLocale& locale)
{
    SignatureText text;
    text.valid = check.valid;
    if (!check.valid)
        text.reason = check.reason;
    text.protocolMatches = check.protocolMatches;
    if (!check.certificateRead)
        return text;
    text.holder = check.signer.holder;
    text.document = formatTaxId(check.signer.document);
    text.matchesIssuer = check.matchesIssuer;
    // The certificate's dates in the issuer's own offset, as the invoice's times are shown.
    const int offset = check.issueTime.offsetFromUtc();
    text.validity = QStringLiteral("%1 a %2").arg(
        locale.toString(check.signer.notBefore.toOffsetFromUtc(offset).date(), QLocale::ShortFormat),
        locale.toString(check.signer.notAfter.toOffsetFromUtc(offset).date(), QLocale::ShortFormat));
    text.chain = chainText(check.chain);
    return text;
}

QVariantMap SignatureText::toVariant() const
{
    const QVariant none;
    return {{"valida", valid},
            {"titular", holder},
            {"documento", document},
            {"confere_emitente", matchesIssuer},
            {"validade", validity},
            {"cadeia", chain},
            {"protocolo_confere", protocolMatches ? QVariant(*protocolMatches) : none},
            {"motivo", reason ? QVariant(*reason) : none}};
}

} // namespace Nfe
