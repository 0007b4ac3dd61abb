// The directory's summary over the facts of files: situations, counts once per key, missing numbers
// less the voided ones, duplicates and events whose invoice is not there.
#include "nfe/directory_summary.h"

#include <gtest/gtest.h>

using namespace Nfe;

namespace {

const QString kIssuer = QStringLiteral("12345678000195");

QString keyOf(std::int64_t number, const QString& issuer = kIssuer)
{
    return QStringLiteral("3524%1551%2").arg(issuer).arg(number, 12, 10, QChar(u'0')).leftJustified(44, u'0');
}

FileFacts invoice(std::int64_t number, const char* status = "100", SignatureState signature = SignatureState::Valid)
{
    FileFacts facts;
    facts.kind = FileFacts::Kind::Invoice;
    facts.fileName = QStringLiteral("%1.xml").arg(number);
    facts.key = keyOf(number);
    facts.issuerDocument = kIssuer;
    facts.model = QStringLiteral("55");
    facts.series = QStringLiteral("1");
    facts.number = number;
    facts.cents = 10050;
    facts.status = QString::fromLatin1(status);
    facts.signature = signature;
    return facts;
}

FileFacts event(std::int64_t number, const char* type, const char* status,
                SignatureState signature = SignatureState::Valid)
{
    FileFacts facts;
    facts.kind = FileFacts::Kind::Event;
    facts.fileName = QStringLiteral("%1-evento.xml").arg(number);
    facts.key = keyOf(number);
    facts.eventType = QString::fromLatin1(type);
    facts.status = QString::fromLatin1(status);
    facts.signature = signature;
    return facts;
}

FileFacts voiding(std::int64_t first, std::int64_t last, const char* status)
{
    FileFacts facts;
    facts.kind = FileFacts::Kind::Voiding;
    facts.issuerDocument = kIssuer;
    facts.model = QStringLiteral("55");
    facts.series = QStringLiteral("1");
    facts.number = first;
    facts.lastNumber = last;
    facts.status = QString::fromLatin1(status);
    return facts;
}

} // namespace

TEST(DirectorySummary, SituationsAndTotalsOncePerKey)
{
    const std::vector<FileFacts> files{
        invoice(1), invoice(1),                         // the same key twice: one invoice, one duplicate
        invoice(2), event(2, "110111", "135"),          // cancelled
        invoice(3, "302"), invoice(4, ""),              // denied; no protocol
        invoice(5, "100", SignatureState::Invalid),     // altered: counted apart
        invoice(6, "150", SignatureState::Absent),      // unsigned: not among the authorised
        event(7, "110111", "135"),                      // its invoice is not here
        event(3, "110111", "135", SignatureState::Invalid),  // an altered cancellation cancels nothing
        unreadableFile("x.xml", "O arquivo não é um XML válido")};
    const DirectorySummary summary = summarise(files);
    EXPECT_EQ(summary.files, 11);
    EXPECT_EQ(summary.invoices, 6);
    EXPECT_EQ(summary.authorised, 1);
    EXPECT_EQ(summary.authorisedCents, 10050);
    EXPECT_EQ(summary.cancelled, 1);
    EXPECT_EQ(summary.denied, 1);
    EXPECT_EQ(summary.withoutProtocol, 1);
    EXPECT_EQ(summary.invalidSignatures, 2);
    EXPECT_EQ(summary.unreadable, 1);
    EXPECT_EQ(summary.duplicates, QStringList{keyOf(1)});
    ASSERT_EQ(summary.orphanEvents.size(), 1u);
    EXPECT_EQ(summary.orphanEvents.front()->key, keyOf(7));
    ASSERT_EQ(summary.rows.size(), 6u);
    EXPECT_EQ(summary.rows[1].situation, Situation::Cancelled);
    EXPECT_EQ(summary.rows[2].situation, Situation::Denied);
}

TEST(DirectorySummary, MissingNumbersAsRangesLessTheVoidedOnes)
{
    std::vector<FileFacts> files{invoice(10), invoice(20), invoice(22), invoice(30), voiding(12, 14, "102"),
                                 voiding(21, 21, "102"), voiding(25, 26, "241")};
    FileFacts other = invoice(5);
    other.series = QStringLiteral("2");
    files.push_back(other);
    const DirectorySummary summary = summarise(files);
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    for (const MissingRange& range : summary.missing) {
        EXPECT_EQ(range.series, "1");
        ranges.emplace_back(range.from, range.to);
    }
    // A refused voiding (not 102) voids nothing; a series alone has no gap.
    EXPECT_EQ(ranges, (std::vector<std::pair<std::int64_t, std::int64_t>>{{11, 11}, {15, 19}, {23, 29}}));
}

TEST(DirectorySummary, FactsOfAVoidingFile)
{
    const QByteArray xml = "<procInutNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\" versao=\"4.00\"><inutNFe versao=\"4.00\">"
                           "<infInut Id=\"ID35241234567800019555001000000012000000014\"><CNPJ>12345678000195</CNPJ>"
                           "<mod>55</mod><serie>001</serie><nNFIni>12</nNFIni><nNFFin>14</nNFFin></infInut></inutNFe>"
                           "<retInutNFe versao=\"4.00\"><infInut><cStat>102</cStat><xMotivo>Inutilizacao homologada"
                           "</xMotivo></infInut></retInutNFe></procInutNFe>";
    const FileFacts facts = readFacts("inut.xml", xml, *TrustRoots::fromFolders({}));
    EXPECT_EQ(facts.kind, FileFacts::Kind::Voiding);
    EXPECT_EQ(facts.issuerDocument, kIssuer);
    EXPECT_EQ(facts.series, "1");
    EXPECT_EQ(facts.number, 12);
    EXPECT_EQ(facts.lastNumber, 14);
    EXPECT_EQ(facts.status, "102");
}
