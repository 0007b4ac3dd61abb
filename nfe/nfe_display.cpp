#include "nfe/nfe_display.h"

#include "nfe/access_key.h"
#include "nfe/nfe_parser.h"

#include <QDateTime>

#include <cstdlib>

namespace Nfe {
namespace {

QString modelName(const QString& model)
{
    if (model == u"55")
        return QStringLiteral("55 (NF-e)");
    if (model == u"65")
        return QStringLiteral("65 (NFC-e)");
    return model;
}

// What a protocol says: the granted text for its good codes, else its code and reason.
QString statusOf(const std::optional<Protocol>& protocol, const char* missing, QStringView good1, QStringView good2,
                 const char* granted)
{
    if (!protocol || protocol->status.isEmpty())
        return QString::fromUtf8(missing);
    if (protocol->status == good1 || protocol->status == good2)
        return QString::fromUtf8(granted);
    return QStringLiteral("%1 - %2").arg(protocol->status, protocol->reason);
}

QString protocolText(const std::optional<Protocol>& protocol, const QLocale& locale)
{
    if (!protocol || protocol->number.isEmpty())
        return {};
    if (protocol->date.isEmpty())
        return protocol->number;
    return QStringLiteral("%1 de %2").arg(protocol->number, formatDateTime(protocol->date, locale));
}

// An event names its invoice only by key: the key carries the model, series, number and issuer.
void fillFromKey(DetailsText& text, const QString& key)
{
    if (key.size() != kKeyLength)
        return;
    text.model = modelName(key.mid(20, 2));
    text.series = QString::number(key.mid(22, 3).toInt());
    text.number = QString::number(key.mid(25, 9).toLongLong());
    text.issuerDocument = formatTaxId(key.mid(6, 14));
}

} // namespace

QString formatTaxId(const QString& digits)
{
    for (QChar c : digits)
        if (!c.isDigit())
            return digits;
    if (digits.size() == 14)
        return QStringLiteral("%1.%2.%3/%4-%5")
            .arg(digits.mid(0, 2), digits.mid(2, 3), digits.mid(5, 3), digits.mid(8, 4), digits.mid(12, 2));
    if (digits.size() == 11)
        return QStringLiteral("%1.%2.%3-%4").arg(digits.mid(0, 3), digits.mid(3, 3), digits.mid(6, 3), digits.mid(9, 2));
    return digits;
}

QString formatDateTime(const QString& iso, const QLocale& locale)
{
    const QDateTime when = QDateTime::fromString(iso, Qt::ISODate);
    if (!when.isValid() || !iso.contains(u'T')) {
        // dEmi of older layouts: a date alone.
        const QDate day = QDate::fromString(iso, Qt::ISODate);
        return day.isValid() ? locale.toString(day, QLocale::ShortFormat) : iso;
    }
    const QString shown = locale.toString(when, QLocale::ShortFormat);
    if (when.timeSpec() != Qt::OffsetFromUTC)
        return shown;
    const int offset = when.offsetFromUtc() / 60;
    const QChar sign = offset < 0 ? u'-' : u'+';
    return QStringLiteral("%1 (%2%3:%4)")
        .arg(shown)
        .arg(sign)
        .arg(std::abs(offset) / 60, 2, 10, QChar(u'0'))
        .arg(std::abs(offset) % 60, 2, 10, QChar(u'0'));
}

QString formatMoney(const QString& decimal, const QLocale& locale)
{
    bool ok = false;
    const double value = QLocale::c().toDouble(decimal, &ok);
    return ok ? locale.toCurrencyString(value, locale.currencySymbol(), 2) : decimal;
}

QString eventTypeName(const QString& code)
{
    static const std::pair<const char16_t*, const char*> names[] = {
        {u"110110", "Carta de correção"},
        {u"110111", "Cancelamento"},
        {u"110112", "Cancelamento por substituição"},
        {u"210200", "Confirmação da operação"},
        {u"210210", "Ciência da operação"},
        {u"210220", "Desconhecimento da operação"},
        {u"210240", "Operação não realizada"},
    };
    for (const auto& [known, name] : names)
        if (code == QStringView(known))
            return QString::fromUtf8(name);
    return QStringLiteral("Evento %1").arg(code);
}

DetailsText failure(const QString& message)
{
    DetailsText text;
    text.error = message;
    return text;
}

DetailsText describe(const Document& document, const QString& fileName, const QLocale& locale)
{
    if (document.kind == DocumentKind::Malformed || document.kind == DocumentKind::Unrecognised)
        return failure(document.error);
    DetailsText text;
    text.keyDigits = document.key;
    text.key = groupKey(document.key);
    text.keyValid = keyIsValid(document.key);
    if (const auto named = keyInName(fileName))
        text.keyMatchesName = *named == document.key;
    if (document.kind == DocumentKind::Event) {
        fillFromKey(text, document.key);
        text.status = statusOf(document.protocol, "Sem protocolo de registro do evento", u"135", u"136",
                               "Evento registrado");
        const Event event = document.event.value_or(Event{});
        text.event = EventText{eventTypeName(event.type), formatDateTime(event.date, locale), event.sequence,
                               groupKey(event.key), event.text};
    } else if (document.kind == DocumentKind::Voiding) {
        // The numbers voided stand where an invoice's number would.
        const Voiding voiding = document.voiding.value_or(Voiding{});
        text.model = modelName(document.model);
        text.series = document.series;
        text.number = QStringLiteral("%1 a %2").arg(voiding.first, voiding.last);
        text.issuerDocument = formatTaxId(document.issuer.document);
        text.status = statusOf(document.protocol, "Sem protocolo de inutilização", u"102", u"102",
                               "Inutilização de números homologada");
    } else {
        text.model = modelName(document.model);
        text.series = document.series;
        text.number = document.number;
        text.issued = formatDateTime(document.issued, locale);
        text.issuerDocument = formatTaxId(document.issuer.document);
        text.recipientName = document.recipient.name;
        text.recipientDocument = formatTaxId(document.recipient.document);
        text.total = formatMoney(document.total, locale);
        // 150: authorised after the deadline, an authorisation all the same.
        text.status = statusOf(document.protocol, "Sem protocolo de autorização", u"100", u"150", "Autorizada");
    }
    text.issuerName = document.issuer.name;
    text.protocol = protocolText(document.protocol, locale);
    return text;
}

DetailsText readDetails(const QByteArray& bytes, const QString& fileName, const QLocale& locale, const TrustRoots& roots)
{
    const Document document = parseDocument(bytes);
    DetailsText text = describe(document, fileName, locale);
    if (!text.error)
        if (const std::optional<SignatureCheck> check = checkSignature(bytes, document, roots))
            text.signature = signatureText(*check, locale);
    return text;
}

QVariantMap DetailsText::toVariant() const
{
    QVariantMap map;
    const QVariant none;
    map["erro"] = error ? QVariant(*error) : none;
    map["chave"] = key;
    map["chave_valida"] = keyValid;
    map["chave_confere_nome"] = keyMatchesName ? QVariant(*keyMatchesName) : none;
    map["modelo"] = model;
    map["serie"] = series;
    map["numero"] = number;
    map["emissao"] = issued;
    map["emitente_nome"] = issuerName;
    map["emitente_doc"] = issuerDocument;
    map["destinatario_nome"] = recipientName;
    map["destinatario_doc"] = recipientDocument;
    map["valor_total"] = total;
    map["situacao"] = status;
    map["protocolo"] = protocol;
    map["evento"] = event ? QVariant(QVariantMap{{"tipo", event->type},
                                                  {"data", event->date},
                                                  {"sequencia", event->sequence},
                                                  {"chave_ref", event->key},
                                                  {"texto", event->text}})
                          : none;
    map["assinatura"] = signature ? QVariant(signature->toVariant()) : none;
    return map;
}

} // namespace Nfe
