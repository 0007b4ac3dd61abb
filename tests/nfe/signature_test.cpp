// The signature check on documents signed in the test itself (tests/nfe/signed_samples.py: the xmlsec
// binding and the xmlsec1 tool, certificates made with OpenSSL), then altered, wrapped, or signed by others.
#include "nfe/nfe_display.h"
#include "nfe/nfe_parser.h"
#include "nfe/signature_check.h"
#include "tests/nfe/nfe_samples.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>
#include <thread>

using namespace Nfe;

namespace {

const QLocale kBrazil(QLocale::Portuguese, QLocale::Brazil);

class Signatures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = std::make_unique<QTemporaryDir>();
        QProcess maker;
        maker.start(QString::fromStdString(TestPaths::python()),
                    {QString::fromStdString(TestPaths::sourceDir() + "/tests/nfe/signed_samples.py"), folder_->path()});
        ASSERT_TRUE(maker.waitForFinished(120000) && maker.exitCode() == 0) << maker.readAllStandardError().toStdString();
        none_ = TrustRoots::fromFolders({});
        roots_ = TrustRoots::fromFolders({folder_->filePath("roots")});
        chain_ = TrustRoots::fromFolders({folder_->filePath("chain")});
    }
    static void TearDownTestSuite() { folder_.reset(); }

    static QByteArray file(const char* name)
    {
        QFile in(folder_->filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << name;
        return in.readAll();
    }
    static SignatureCheck check(const QByteArray& bytes, const TrustRoots* roots = nullptr)
    {
        const Document document = parseDocument(bytes);
        EXPECT_TRUE(document.error.isEmpty()) << document.error.toStdString();
        const std::optional<SignatureCheck> result = checkSignature(bytes, document, roots ? *roots : *none_);
        EXPECT_TRUE(result.has_value());
        return result.value_or(SignatureCheck{});
    }
    static QString reason(const QByteArray& bytes)
    {
        const SignatureCheck result = check(bytes);
        EXPECT_FALSE(result.valid);
        return result.reason;
    }

    static inline std::unique_ptr<QTemporaryDir> folder_;
    static inline std::shared_ptr<const TrustRoots> none_, roots_, chain_;
};

} // namespace

TEST_F(Signatures, InvoicesAndEventsSignedByTheIssuerHoldAtTheirIssueTime)
{
    // The certificate expired long before today: it is judged on 15/03/2024.
    for (const char* name : {"nfe-sha1.xml", "nfe-sha256-cli.xml", "evento.xml"}) {
        SCOPED_TRACE(name);
        const SignatureCheck result = check(file(name));
        EXPECT_TRUE(result.valid) << result.reason.toStdString();
        EXPECT_EQ(result.signer.holder, "EMPRESA TESTE LTDA");
        EXPECT_TRUE(result.matchesIssuer);
        EXPECT_EQ(result.protocolMatches, true);
    }
    const QVariantMap shown = readDetails(file("nfe-sha1.xml"), "nota.xml", kBrazil, *none_).toVariant();
    EXPECT_EQ(shown["assinatura"].toMap(), (QVariantMap{{"valida", true},
                                                        {"titular", "EMPRESA TESTE LTDA"},
                                                        {"documento", "12.345.678/0001-95"},
                                                        {"confere_emitente", true},
                                                        {"validade", "01/01/2023 a 31/12/2025"},
                                                        {"cadeia", "cadeia não verificada"},
                                                        {"protocolo_confere", true},
                                                        {"motivo", QVariant()}}));
    const QByteArray unsigned_ = QString::fromUtf8(NfeSamples::invoice("")).remove(QRegularExpression("<Signature.*</Signature>")).toUtf8();
    EXPECT_TRUE(readDetails(unsigned_, "nota.xml", kBrazil, *none_).toVariant()["assinatura"].isNull());
    // A branch signs with its head office's certificate; another company's signature holds but is not the issuer's.
    EXPECT_TRUE(check(file("nfe-filial.xml")).matchesIssuer);
    const SignatureCheck other = check(file("nfe-outra-empresa.xml"));
    EXPECT_TRUE(other.valid);
    EXPECT_FALSE(other.matchesIssuer);
    EXPECT_EQ(other.signer.document, "98765432000198");
}

TEST_F(Signatures, ChangesAfterSigningAndProtocolsOfOtherContent)
{
    const QByteArray good = file("nfe-sha1.xml");
    QByteArray altered = good;
    altered.replace("<vNF>", "<vNF>1");
    EXPECT_EQ(reason(altered), "o conteúdo foi alterado depois da assinatura");
    QByteArray value = good;
    const qsizetype at = value.indexOf("<SignatureValue>") + 20;
    value[at] = value[at] == 'A' ? 'B' : 'A';
    EXPECT_EQ(reason(value), "o valor da assinatura não confere com o certificado do signatário");
    QByteArray digest = good;
    digest.replace("<digVal>", "<digVal>AAAA");
    EXPECT_TRUE(check(digest).valid);
    EXPECT_EQ(check(digest).protocolMatches, false);
}

TEST_F(Signatures, CertificatesThatCannotBeTrusted)
{
    EXPECT_EQ(reason(file("nfe-vencido.xml")), "o certificado não estava dentro da validade na data de emissão");
    EXPECT_EQ(reason(file("nfe-512.xml")), "a chave do certificado tem 512 bits; o mínimo aceito é 2048");
    QByteArray broken = file("nfe-sha1.xml");
    broken.replace(QRegularExpression("<X509Certificate>[^<]*").match(QString::fromLatin1(broken)).captured().toLatin1(),
                   "<X509Certificate>TUlJQ2FiY2Rl");
    EXPECT_EQ(reason(broken), "o certificado do signatário não pôde ser lido");
}

TEST_F(Signatures, TheChainAgainstTheInstalledRoots)
{
    EXPECT_EQ(check(file("nfe-sha1.xml"), roots_.get()).chain.status, ChainStatus::Verified);
    EXPECT_EQ(signatureText(check(file("nfe-sha1.xml"), roots_.get()), kBrazil).chain, "verificada (Raiz de Teste)");
    // An authority that is not installed is not verified, never invalid.
    const SignatureCheck foreign = check(file("nfe-raiz-desconhecida.xml"), roots_.get());
    EXPECT_TRUE(foreign.valid);
    EXPECT_EQ(foreign.chain.status, ChainStatus::NotVerified);
    EXPECT_TRUE(foreign.chain.detail.contains("Raiz Desconhecida")) << foreign.chain.detail.toStdString();
    // Through an installed intermediate that had expired before the invoice was issued.
    const SignatureCheck expired = check(file("nfe-cadeia-vencida.xml"), chain_.get());
    EXPECT_EQ(expired.chain.status, ChainStatus::Invalid);
    EXPECT_FALSE(expired.valid);
    EXPECT_EQ(check(file("nfe-cadeia-vencida.xml")).chain.status, ChainStatus::NotVerified);
}

TEST_F(Signatures, WrappedAndForeignShapesAreRefused)
{
    const QByteArray good = file("nfe-sha1.xml");
    const qsizetype start = good.indexOf("<infNFe"), end = good.indexOf("</infNFe>") + 9;
    const QByteArray content = good.mid(start, end - start);
    // The signed content moved aside, a changed copy in its place.
    QByteArray wrapped = good;
    wrapped.replace("</Signature>", "<Object>" + content + "</Object></Signature>");
    wrapped.replace(start, content.size(), QByteArray(content).replace("<vNF>", "<vNF>9"));
    EXPECT_TRUE(reason(wrapped).startsWith("o documento tem mais de um infNFe")) << reason(wrapped).toStdString();
    const QByteArray key = good.mid(start + 15, 44);
    EXPECT_TRUE(reason(QByteArray(good).replace("URI=\"#NFe", "URI=\"#NFx")).startsWith("a assinatura se refere a \"#NFx"));
    const qsizetype ref = good.indexOf("<Reference"), refEnd = good.indexOf("</Reference>") + 12;
    EXPECT_EQ(reason(QByteArray(good).insert(refEnd, good.mid(ref, refEnd - ref))),
              "a assinatura tem 2 referências; só é aceita uma, ao conteúdo assinado");
    EXPECT_TRUE(reason(QByteArray(good).replace("xmldsig#rsa-sha1", "xmldsig#dsa-sha1")).startsWith("algoritmo de assinatura"));
    EXPECT_TRUE(reason(QByteArray(good).replace("<Transforms>", "<Transforms><Transform Algorithm="
                                                                "\"http://www.w3.org/TR/1999/REC-xpath-19991116\"/>"))
                    .startsWith("transformação não aceita"));
    EXPECT_EQ(reason(QByteArray(good).replace("<ide>", "<ide xml:id=\"NFe" + key + "\">")),
              "o Id \"NFe" + key + "\" se repete no documento");
    // A DOCTYPE is refused before the signature is looked at.
    const QByteArray doctype = QByteArray(good).replace("<nfeProc", "<!DOCTYPE nfeProc [<!ENTITY a \"b\">]><nfeProc");
    EXPECT_FALSE(checkSignature(doctype, parseDocument(doctype), *none_));
}

TEST_F(Signatures, ChecksRunOnSeveralThreadsAtOnce)
{
    const QByteArray good = file("nfe-sha256-cli.xml");
    const Document document = parseDocument(good);
    std::atomic<int> valid = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                valid += checkSignature(good, document, *roots_)->valid ? 1 : 0;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(valid, 100);
}
