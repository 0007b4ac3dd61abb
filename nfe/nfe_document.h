#pragma once

#include <QString>

#include <optional>

// What an NF-e file says, as written in it (texts untouched; formatting is nfe_display's).
namespace Nfe {

enum class DocumentKind {
    Invoice,       // nfeProc or a bare NFe
    Event,         // procEventoNFe or a bare evento
    Voiding,       // procInutNFe or a bare inutNFe: a range of numbers voided
    Unrecognised,  // well-formed XML of another kind
    Malformed,     // not XML, truncated, or refused (DOCTYPE, too deep)
};

struct Party {
    QString name;
    QString document;  // CNPJ, CPF or a foreign id, digits as written
};

// The authorisation of an invoice (protNFe/infProt) or the registration of an event
// (retEvento/infEvento).
struct Protocol {
    QString status;  // cStat
    QString reason;  // xMotivo
    QString number;  // nProt
    QString date;    // dhRecbto or dhRegEvento, ISO 8601 with its offset
    QString key;     // chNFe: the document the protocol was granted for
    QString digest;  // digVal: the signature's DigestValue the authority received (invoices only)
};

struct Event {
    QString type;      // tpEvento, e.g. 110111
    QString date;      // dhEvento
    QString sequence;  // nSeqEvento
    QString key;       // chNFe: the invoice the event refers to
    QString text;      // xCorrecao of a correction letter, else xJust when given
    QString author;    // CNPJ or CPF of whoever registered the event
};

// The numbers an issuer voided in a series (inutNFe/infInut).
struct Voiding {
    QString first, last;  // nNFIni, nNFFin
};

struct Document {
    DocumentKind kind = DocumentKind::Malformed;
    QString rootName;  // the root element's local name (for an unrecognised document)
    QString error;     // Malformed: why, in Portuguese, with the line and column when the parser had them
    QString key;       // the access key (infNFe/@Id without "NFe", or chNFe)
    QString model, series, number, issued;  // mod, serie, nNF, dhEmi (or dEmi)
    Party issuer, recipient;  // a voiding's issuer is its CNPJ
    QString total;  // vNF, a decimal with a point
    std::optional<Protocol> protocol;
    std::optional<Event> event;
    std::optional<Voiding> voiding;
};

} // namespace Nfe
