#include "nfe/directory_summary.h"

#include "nfe/access_key.h"
#include "nfe/nfe_parser.h"
#include "nfe/signature_check.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace Nfe {
namespace {

// "1234.56" in cents, without floating point on the way; anything else is 0.
std::int64_t centsOf(const QString& decimal)
{
    const qsizetype point = decimal.indexOf(u'.');
    bool whole = false, part = true;
    const std::int64_t units = decimal.left(point < 0 ? decimal.size() : point).toLongLong(&whole);
    std::int64_t fraction = 0;
    if (point >= 0)
        fraction = (decimal.mid(point + 1) + QStringLiteral("00")).left(2).toLongLong(&part);
    return whole && part && units >= 0 ? units * 100 + fraction : 0;
}

// "001" and "1" are the same series.
QString plainNumber(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    return ok ? QString::number(value) : text;
}

void fillInvoice(FileFacts& facts, const Document& document)
{
    // An invoice that lacks a field still has its key, which carries them.
    const bool keyed = keyIsValid(document.key);
    facts.model = !document.model.isEmpty() || !keyed ? document.model : document.key.mid(20, 2);
    facts.series = plainNumber(!document.series.isEmpty() || !keyed ? document.series : document.key.mid(22, 3));
    facts.number = (!document.number.isEmpty() || !keyed ? document.number : document.key.mid(25, 9)).toLongLong();
    facts.issuerDocument = !document.issuer.document.isEmpty() || !keyed ? document.issuer.document : document.key.mid(6, 14);
    facts.issued = document.issued;
    facts.issuerName = document.issuer.name;
    facts.recipientName = document.recipient.name;
    facts.recipientDocument = document.recipient.document;
    facts.cents = centsOf(document.total);
}

using Group = std::tuple<QString, QString, QString>;  // issuer, model, series

void addMissing(DirectorySummary& summary, const Group& group, const std::set<std::int64_t>& numbers,
                std::vector<std::pair<std::int64_t, std::int64_t>> voided)
{
    std::sort(voided.begin(), voided.end());
    const auto& [issuer, model, series] = group;
    for (auto it = numbers.begin(); it != numbers.end() && std::next(it) != numbers.end(); ++it) {
        std::int64_t from = *it + 1;
        const std::int64_t to = *std::next(it) - 1;
        for (const auto& [first, last] : voided) {
            if (from > to || first > to)
                break;
            if (last < from)
                continue;
            if (first > from)
                summary.missing.push_back({issuer, model, series, from, first - 1});
            from = std::max(from, last + 1);
        }
        if (from <= to)
            summary.missing.push_back({issuer, model, series, from, to});
    }
}

Situation situationOf(const FileFacts& facts, bool cancelled)
{
    if (cancelled)
        return Situation::Cancelled;
    if (facts.status == u"100" || facts.status == u"150")
        return Situation::Authorised;
    if (isDenial(facts.status))
        return Situation::Denied;
    return facts.status.isEmpty() ? Situation::NoProtocol : Situation::Other;
}

// The file that stands for a key: one whose signature holds, else one with a protocol, else the first.
const FileFacts* representative(const std::vector<const FileFacts*>& copies)
{
    for (const FileFacts* copy : copies)
        if (copy->signature == SignatureState::Valid)
            return copy;
    for (const FileFacts* copy : copies)
        if (!copy->status.isEmpty())
            return copy;
    return copies.front();
}

} // namespace

bool isDenial(const QString& status)
{
    static const QStringList codes{"110", "205", "301", "302", "303"};
    return codes.contains(status);
}

FileFacts unreadableFile(const QString& fileName, const QString& why)
{
    FileFacts facts;
    facts.fileName = fileName;
    facts.problem = why;
    return facts;
}

FileFacts readFacts(const QString& fileName, const QByteArray& bytes, const TrustRoots& roots)
{
    const Document document = parseDocument(bytes);
    if (document.kind == DocumentKind::Malformed || document.kind == DocumentKind::Unrecognised)
        return unreadableFile(fileName, document.error);
    if (document.kind == DocumentKind::Invoice && document.key.isEmpty())
        return unreadableFile(fileName, QStringLiteral("A nota não tem chave de acesso (infNFe sem Id)."));
    FileFacts facts;
    facts.fileName = fileName;
    facts.key = document.key;
    if (document.protocol) {
        facts.status = document.protocol->status;
        facts.reason = document.protocol->reason;
    }
    if (document.kind == DocumentKind::Voiding) {
        facts.kind = FileFacts::Kind::Voiding;
        facts.issuerDocument = document.issuer.document;
        facts.model = document.model;
        facts.series = plainNumber(document.series);
        facts.number = document.voiding->first.toLongLong();
        facts.lastNumber = document.voiding->last.toLongLong();
        return facts;
    }
    if (document.kind == DocumentKind::Event) {
        facts.kind = FileFacts::Kind::Event;
        facts.eventType = document.event ? document.event->type : QString();
    } else {
        facts.kind = FileFacts::Kind::Invoice;
        fillInvoice(facts, document);
    }
    if (const std::optional<SignatureCheck> check = checkSignature(bytes, document, roots)) {
        facts.signature = check->valid ? SignatureState::Valid : SignatureState::Invalid;
        facts.signatureReason = check->reason;
    }
    return facts;
}

DirectorySummary summarise(const std::vector<FileFacts>& files)
{
    DirectorySummary summary;
    summary.files = static_cast<int>(files.size());
    std::map<QString, std::vector<const FileFacts*>> byKey;
    std::set<QString> cancelledKeys;
    std::vector<const FileFacts*> events;
    std::map<Group, std::vector<std::pair<std::int64_t, std::int64_t>>> voided;
    for (const FileFacts& file : files) {
        switch (file.kind) {
        case FileFacts::Kind::Invoice:
            byKey[file.key].push_back(&file);
            break;
        case FileFacts::Kind::Event:
            events.push_back(&file);
            if (file.signature == SignatureState::Invalid)
                ++summary.invalidSignatures;
            else if ((file.eventType == u"110111" || file.eventType == u"110112")
                     && (file.status == u"135" || file.status == u"136" || file.status == u"155"))
                cancelledKeys.insert(file.key);
            break;
        case FileFacts::Kind::Voiding:
            if (file.status == u"102")
                voided[{file.issuerDocument, file.model, file.series}].emplace_back(file.number, file.lastNumber);
            break;
        case FileFacts::Kind::Unreadable:
            ++summary.unreadable;
            summary.unreadableFiles.push_back(&file);
            break;
        }
    }
    std::map<Group, std::set<std::int64_t>> numbers;
    for (const auto& [key, copies] : byKey) {
        const FileFacts* facts = representative(copies);
        const Situation situation = situationOf(*facts, cancelledKeys.count(key) > 0);
        summary.rows.push_back({facts, situation});
        if (copies.size() > 1)
            summary.duplicates.append(key);
        ++summary.invoices;
        if (facts->signature == SignatureState::Invalid)
            ++summary.invalidSignatures;
        if (situation == Situation::Authorised && facts->signature == SignatureState::Valid) {
            ++summary.authorised;
            summary.authorisedCents += facts->cents;
        }
        summary.cancelled += situation == Situation::Cancelled;
        summary.denied += situation == Situation::Denied;
        summary.withoutProtocol += situation == Situation::NoProtocol;
        numbers[{facts->issuerDocument, facts->model, facts->series}].insert(facts->number);
    }
    for (const auto& [group, present] : numbers)
        addMissing(summary, group, present, voided[group]);
    for (const FileFacts* event : events)
        if (!byKey.count(event->key))
            summary.orphanEvents.push_back(event);
    std::sort(summary.rows.begin(), summary.rows.end(), [](const InvoiceRow& a, const InvoiceRow& b) {
        return std::tie(a.facts->issuerDocument, a.facts->model, a.facts->series, a.facts->number)
               < std::tie(b.facts->issuerDocument, b.facts->model, b.facts->series, b.facts->number);
    });
    return summary;
}

} // namespace Nfe
