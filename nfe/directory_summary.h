#pragma once

#include "nfe/trust_roots.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// A month's files taken together, as an accounting office checks them: which invoices are authorised,
// cancelled or denied and for what value, which numbers are missing in a series, which files repeat a
// key, which cannot be read.
namespace Nfe {

enum class SignatureState { Absent, Valid, Invalid };

// What the summary keeps of one file (small: the bytes are not kept).
struct FileFacts {
    enum class Kind { Invoice, Event, Voiding, Unreadable };
    Kind kind = Kind::Unreadable;
    QString fileName;
    QString problem;  // Unreadable: why, in Portuguese
    QString key;      // invoice: its key; event: the invoice it refers to
    QString model, series, issued, issuerDocument, issuerName, recipientName, recipientDocument;
    std::int64_t number = 0;      // invoice: nNF; voiding: the first number voided
    std::int64_t lastNumber = 0;  // voiding: the last number voided
    std::int64_t cents = 0;       // vNF
    QString status, reason;       // the protocol's cStat and xMotivo (empty: none)
    QString eventType;            // tpEvento
    SignatureState signature = SignatureState::Absent;
    QString signatureReason;  // Invalid: why
};

// The facts of one file's bytes (parsed, its signature checked against roots).
FileFacts readFacts(const QString& fileName, const QByteArray& bytes, const TrustRoots& roots);
FileFacts unreadableFile(const QString& fileName, const QString& why);

enum class Situation { Authorised, Cancelled, Denied, NoProtocol, Other };

struct InvoiceRow {
    const FileFacts* facts = nullptr;  // the file that stands for the key (a valid signature first)
    Situation situation = Situation::NoProtocol;
};

struct MissingRange {
    QString issuerDocument, model, series;
    std::int64_t from = 0, to = 0;
};

struct DirectorySummary {
    int files = 0;
    int invoices = 0;  // distinct keys
    int authorised = 0;  // authorised, not cancelled, with a valid signature
    int cancelled = 0, denied = 0, withoutProtocol = 0;
    int invalidSignatures = 0;  // invoices with no file whose signature holds, and events whose does not
    int unreadable = 0;
    std::int64_t authorisedCents = 0;
    std::vector<InvoiceRow> rows;  // by issuer, model, series, number
    std::vector<MissingRange> missing;
    QStringList duplicates;  // keys found in more than one invoice file, each once
    std::vector<const FileFacts*> orphanEvents;  // events whose invoice is not among the files
    std::vector<const FileFacts*> unreadableFiles;
};

// Denied: 110, 205, 301, 302, 303. Authorised: 100, 150.
bool isDenial(const QString& status);
// The summary of files (which must outlive it: its rows point into them). Missing numbers are the gaps
// between the lowest and highest number present per (issuer CNPJ, model, series), less the ranges a
// voiding with cStat 102 among the files covers. An invoice is cancelled by a registered (135, 136,
// 155) cancellation event (110111, 110112) for its key whose signature is not invalid.
DirectorySummary summarise(const std::vector<FileFacts>& files);

} // namespace Nfe
