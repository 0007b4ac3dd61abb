#pragma once

#include "nfe/signature_check.h"

#include <QLocale>
#include <QString>
#include <QVariantMap>

#include <optional>

// A signature check as the details window and the summary show it.
namespace Nfe {

struct SignatureText {
    bool valid = false;
    QString holder;    // titular
    QString document;  // the holder's CNPJ (or CPF) formatted
    bool matchesIssuer = false;
    QString validity;  // "01/01/2024 a 31/12/2024"
    QString chain;     // "verificada (<root>)", "cadeia não verificada", "inválida: ..."
    std::optional<bool> protocolMatches;
    std::optional<QString> reason;  // why, when not valid

    // The driver's "assinatura": valida, titular, documento, confere_emitente, validade, cadeia,
    // protocolo_confere, motivo.
    QVariantMap toVariant() const;
};

SignatureText signatureText(const SignatureCheck& check, const QLocale& locale);

} // namespace Nfe
