#pragma once

#include "nfe/nfe_document.h"
#include "nfe/signature_text.h"

#include <QLocale>
#include <QString>
#include <QVariantMap>

#include <optional>

// The details of a document as the window shows them: every text formatted for the user's locale.
namespace Nfe {

struct EventText {
    QString type, date, sequence, key, text;
};

struct DetailsText {
    QString key;  // grouped in 4s
    QString keyDigits;  // the 44 digits as in the file, for the copy button
    bool keyValid = false;
    std::optional<bool> keyMatchesName;  // none when the file's name carries no key
    QString model, series, number, issued;
    QString issuerName, issuerDocument, recipientName, recipientDocument;
    QString total;
    QString status, protocol;
    std::optional<EventText> event;
    std::optional<SignatureText> signature;  // none when the file carries no signature
    std::optional<QString> error;  // set alone when the file could not be read or understood

    // The driver's "details" object: chave, chave_valida, chave_confere_nome, modelo, serie, numero,
    // emissao, emitente_nome, emitente_doc, destinatario_nome, destinatario_doc, valor_total,
    // situacao, protocolo, evento, assinatura, erro.
    QVariantMap toVariant() const;
};

// The details of a parsed document read from the file named fileName.
DetailsText describe(const Document& document, const QString& fileName, const QLocale& locale);
// The details of a file's bytes: read, its signature checked against roots, described.
DetailsText readDetails(const QByteArray& bytes, const QString& fileName, const QLocale& locale, const TrustRoots& roots);
// Details that carry only a message (a file refused before parsing, a failed read).
DetailsText failure(const QString& message);

// "12.345.678/0001-95" for 14 digits, "123.456.789-09" for 11; anything else as it is.
QString formatTaxId(const QString& digits);
// An ISO 8601 date and time shown in the locale's short form, at the document's own offset, which is
// named after it ("15/03/2024 10:00 (-03:00)"); a text that is not such a date comes back as it is.
QString formatDateTime(const QString& iso, const QLocale& locale);
// "R$ 1.234,56" from "1234.56" for pt_BR; a text that is not a number comes back as it is.
QString formatMoney(const QString& decimal, const QLocale& locale);
// "Cancelamento", "Carta de correção", ... or "Evento <code>" for a code we do not know.
QString eventTypeName(const QString& code);

} // namespace Nfe
