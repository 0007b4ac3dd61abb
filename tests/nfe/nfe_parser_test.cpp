// The NF-e reader on small hand-made documents: each kind, each situation, each broken or hostile file.
#include "nfe/nfe_display.h"
#include "nfe/nfe_parser.h"
#include "tests/nfe/nfe_samples.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

using namespace Nfe;
using namespace NfeSamples;

namespace {

const QLocale kBrazil(QLocale::Portuguese, QLocale::Brazil);

DetailsText details(const QByteArray& xml, const QString& name = QStringLiteral("nota.xml"))
{
    return describe(parseDocument(xml), name, kBrazil);
}

QString error(const QByteArray& xml) { return details(xml).error.value_or(QStringLiteral("<sem erro>")); }

} // namespace

TEST(NfeReader, ReadsAnAuthorisedInvoiceWithOrWithoutPrefixes)
{
    for (const QByteArray& prefix : {QByteArray(), QByteArray("nfe")}) {
        SCOPED_TRACE(prefix.toStdString());
        const Document document = parseDocument(invoice(protocol("100", "Autorizado o uso da NF-e"), kKey, prefix));
        ASSERT_EQ(document.kind, DocumentKind::Invoice) << document.error.toStdString();
        EXPECT_EQ(document.key, kKey);
        // The signature's own elements (another namespace) never fill a field.
        EXPECT_EQ(document.model, "55");
        EXPECT_EQ(document.series, "1");
        EXPECT_EQ(document.number, "123");
        EXPECT_EQ(document.issuer.document, "12345678000195");
        EXPECT_EQ(document.issuer.name, "Comércio São João");
        EXPECT_EQ(document.recipient.document, "12345678909");
        EXPECT_EQ(document.total, "1234.56");
    }
    const QVariantMap shown = details(invoice(protocol("100", "Autorizado o uso da NF-e")), kKey + "-nfe.xml").toVariant();
    EXPECT_EQ(shown["chave"], "3524 0312 3456 7800 0195 5500 1000 0001 2310 0001 2343");
    EXPECT_EQ(shown["chave_valida"], true);
    EXPECT_EQ(shown["chave_confere_nome"], true);
    EXPECT_EQ(shown["modelo"], "55 (NF-e)");
    EXPECT_EQ(shown["emissao"], "15/03/2024 10:20 (-03:00)");
    EXPECT_EQ(shown["emitente_doc"], "12.345.678/0001-95");
    EXPECT_EQ(shown["destinatario_doc"], "123.456.789-09");
    EXPECT_EQ(shown["destinatario_nome"], "Ana Araújo");
    // Qt puts a no-break space after the symbol.
    EXPECT_EQ(shown["valor_total"].toString().replace(QChar(0xA0), u' '), "R$ 1.234,56");
    EXPECT_EQ(shown["situacao"], "Autorizada");
    EXPECT_EQ(shown["protocolo"], "135240000012345 de 15/03/2024 10:21 (-03:00)");
    EXPECT_TRUE(shown["evento"].isNull());
    EXPECT_TRUE(shown["erro"].isNull());
    EXPECT_TRUE(shown["assinatura"].isNull());
    EXPECT_EQ(shown.size(), 17);
}

TEST(NfeReader, SituationFollowsTheProtocol)
{
    EXPECT_EQ(details(invoice(protocol("150", "Autorizado fora de prazo"))).status, "Autorizada");
    const DetailsText denied = details(invoice(protocol("302", "Uso Denegado")));
    EXPECT_EQ(denied.status, "302 - Uso Denegado");
    EXPECT_EQ(details(invoice("")).status, "Sem protocolo de autorização");
    EXPECT_EQ(details(invoice("")).protocol, "");
    // A bare NFe (no nfeProc around it) is an invoice without protocol.
    const QByteArray bare = invoice("").replace("<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\" versao=\"4.00\">",
                                                "").replace("</nfeProc>", "").replace("<NFe>", "<NFe xmlns=\"http://www.portalfiscal.inf.br/nfe\">");
    const DetailsText bareDetails = details(bare);
    EXPECT_FALSE(bareDetails.error) << bareDetails.error->toStdString();
    EXPECT_EQ(bareDetails.status, "Sem protocolo de autorização");
    EXPECT_EQ(bareDetails.number, "123");
}

TEST(NfeReader, KeyCheckDigitAndNameMatch)
{
    QString wrong = kKey;
    wrong[43] = u'9';
    const DetailsText wrongDigit = details(invoice("", wrong), wrong + "-nfe.xml");
    EXPECT_FALSE(wrongDigit.keyValid);
    EXPECT_EQ(wrongDigit.keyMatchesName, true);
    QString other = kKey;
    other[30] = u'7';
    EXPECT_EQ(details(invoice(""), other + "-nfe.xml").keyMatchesName, false);
    // No key in the name, or a longer run of digits (an event's id), says nothing.
    EXPECT_EQ(details(invoice(""), "nota 123.xml").keyMatchesName, std::nullopt);
    EXPECT_EQ(details(invoice(""), "110111" + kKey + "01.xml").keyMatchesName, std::nullopt);
    EXPECT_TRUE(details(invoice("")).keyValid);
}

TEST(NfeReader, EachEventTypeInWords)
{
    const std::pair<QByteArray, QString> types[] = {
        {"110110", "Carta de correção"}, {"110111", "Cancelamento"},
        {"110112", "Cancelamento por substituição"}, {"210200", "Confirmação da operação"},
        {"210210", "Ciência da operação"}, {"210220", "Desconhecimento da operação"},
        {"210240", "Operação não realizada"}, {"999999", "Evento 999999"}};
    for (const auto& [code, words] : types) {
        const DetailsText shown = details(event(code, "<xJust>Erro de digitação no pedido</xJust>"));
        ASSERT_FALSE(shown.error) << shown.error->toStdString();
        ASSERT_TRUE(shown.event);
        EXPECT_EQ(shown.event->type, words);
    }
    const DetailsText letter = details(event("110110", "<xCorrecao>Endereço do destinatário: Rua Ipê, 12</xCorrecao>"
                                                       "<xCondUso>A Carta de Correção é disciplinada...</xCondUso>"));
    ASSERT_TRUE(letter.event);
    EXPECT_EQ(letter.event->text, "Endereço do destinatário: Rua Ipê, 12");
    EXPECT_EQ(letter.event->date, "20/03/2024 08:05 (-03:00)");
    EXPECT_EQ(letter.event->sequence, "2");
    EXPECT_EQ(letter.event->key, "3524 0312 3456 7800 0195 5500 1000 0001 2310 0001 2343");
    EXPECT_EQ(letter.status, "Evento registrado");
    EXPECT_EQ(letter.protocol, "135240000099999 de 20/03/2024 08:05 (-03:00)");
    // The invoice's own data come from the key.
    EXPECT_EQ(letter.model, "55 (NF-e)");
    EXPECT_EQ(letter.number, "123");
    EXPECT_EQ(letter.issuerDocument, "12.345.678/0001-95");
    EXPECT_TRUE(letter.keyValid);
    EXPECT_EQ(details(event("110111", "<nProt>1</nProt>", false)).status, "Sem protocolo de registro do evento");
}

TEST(NfeReader, MalformedFilesSayWhereAndWhy)
{
    const QByteArray whole = invoice(protocol("100", "Autorizado"));
    const QByteArray broken[] = {"isto não é XML", whole.left(whole.size() / 2), "", "<nfeProc><NFe></nfeProc>",
                                 "\xff\xfe\x00<"};
    for (const QByteArray& bytes : broken) {
        SCOPED_TRACE(bytes.left(40).toStdString());
        EXPECT_TRUE(error(bytes).startsWith("O arquivo não é um XML válido (linha ")) << error(bytes).toStdString();
    }
    EXPECT_TRUE(error("<a>\n<b></a>").contains("linha 2, coluna")) << error("<a>\n<b></a>").toStdString();
}

TEST(NfeReader, OtherDocumentsAreNotRecognised)
{
    EXPECT_EQ(error("<cteProc xmlns=\"http://www.portalfiscal.inf.br/cte\"><CTe/></cteProc>"),
              "Documento não reconhecido (elemento raiz: cteProc).");
    EXPECT_EQ(error("<?xml version=\"1.0\"?><catalogo><livro/></catalogo>"),
              "Documento não reconhecido (elemento raiz: catalogo).");
    // The right name in no namespace is not an NF-e either.
    EXPECT_EQ(error("<nfeProc><NFe/></nfeProc>"), "Documento não reconhecido (elemento raiz: nfeProc).");
}

TEST(NfeReader, HostileDocumentsAreRefusedQuickly)
{
    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE nfeProc [\n<!ENTITY a \"hahahahahahahahahaha\">\n";
    for (int level = 1; level < 12; ++level)
        laughs += "<!ENTITY " + QByteArray(1, char('a' + level)) + " \"" + QByteArray(10, 0).replace('\0', "&" + QByteArray(1, char('a' + level - 1)) + ";") + "\">\n";
    laughs += "]>\n<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\">&l;</nfeProc>";
    const QByteArray external = "<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><nfeProc "
                                "xmlns=\"http://www.portalfiscal.inf.br/nfe\">&e;</nfeProc>";
    QByteArray deep = "<nfeProc xmlns=\"http://www.portalfiscal.inf.br/nfe\">";
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(error(laughs), "Documento recusado: o arquivo declara um DOCTYPE, que não é aceito.");
    EXPECT_EQ(error(external), "Documento recusado: o arquivo declara um DOCTYPE, que não é aceito.");
    EXPECT_EQ(error(deep), "Documento recusado: mais de 64 níveis de elementos.");
    EXPECT_LT(clock.elapsed(), 1000);
}
