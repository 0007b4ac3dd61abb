// The screen's trust in FTP servers' certificates: what passes silently, what is asked, what is kept.
#include "screen/trust/tls_trust.h"
#include "screen/trust/trust_store.h"

#include "mrv/prompts.h"
#include "mrv/scripted_prompts.h"
#include "tests/support/ftp_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

using namespace Cli_Vop31600;

namespace {

Platform::TlsCertificate certificate(const std::string& fingerprint, bool system = false)
{
    Platform::TlsCertificate cert;
    cert.subject = cert.issuer = "CN=ftp.empresa.com.br";
    cert.selfSigned = !system;
    cert.chainValid = system;
    cert.hostMatches = true;
    cert.notBefore = 1700000000;
    cert.notAfter = 1800000000;
    cert.fingerprint = fingerprint;
    return cert;
}

struct Prompts {
    Prompts()
    {
        auto scripted = std::make_unique<Mrv::ScriptedPrompts>();
        prompts = scripted.get();
        Mrv::installPrompts(std::move(scripted));
    }
    ~Prompts() { Mrv::installPrompts(nullptr); }
    Mrv::ScriptedPrompts* prompts;
};

} // namespace

TEST(TlsTrust, OnlyWhatTheSystemOrTheUserVouchedForPassesAndAChangedCertificateIsAskedAgain)
{
    TestSupport::ScratchDir dir("vop-trust");
    Prompts ui;
    TlsTrust trust(TrustStore(dir / "trusted.json"));
    const std::string server = "10.0.0.7:21";

    EXPECT_TRUE(trust.accept(server, certificate("AA", true)));  // a chain the system trusts
    EXPECT_TRUE(ui.prompts->transcript().empty());

    ui.prompts->queueChoice(3);  // "Não conectar"
    EXPECT_FALSE(trust.accept(server, certificate("BB")));
    ui.prompts->queueChoice(1);  // "Confiar sempre"
    EXPECT_TRUE(trust.accept(server, certificate("BB")));
    ASSERT_EQ(ui.prompts->transcript().size(), 2u);
    const auto asked = ui.prompts->transcript()[1];
    EXPECT_EQ(asked.kind, "choice");
    EXPECT_NE(asked.text.find("autoassinado"), std::string::npos) << asked.text;
    EXPECT_NE(asked.text.find("Confiar sempre | Somente desta vez | Não conectar"), std::string::npos) << asked.text;

    // Kept for good: a new screen does not ask, and the server must now speak TLS.
    TlsTrust later(TrustStore(dir / "trusted.json"));
    later.noteTls(server);
    EXPECT_TRUE(later.accept(server, certificate("BB")));
    EXPECT_TRUE(later.requiresTls(server));
    EXPECT_EQ(later.acceptedFingerprint(server), "BB");
    EXPECT_EQ(ui.prompts->transcript().size(), 2u);

    // Another certificate, even one the system would vouch for, is a warning naming both.
    ui.prompts->queueChoice(2);  // "Somente desta vez": accepted, not stored
    EXPECT_TRUE(later.accept(server, certificate("CC", true)));
    EXPECT_NE(ui.prompts->transcript().back().text.find("DIFERENTE"), std::string::npos);
    EXPECT_NE(ui.prompts->transcript().back().text.find("BB"), std::string::npos);
    EXPECT_EQ(TrustStore(dir / "trusted.json").find(server)->fingerprint, "BB");
    EXPECT_TRUE(ui.prompts->failures().empty());

    struct stat st {};
    ASSERT_EQ(::stat((dir / "trusted.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(TrustStore, ACorruptOrUnwritableStoreIsEmptyAndSaysSo)
{
    TestSupport::ScratchDir dir("vop-trust");
    std::ofstream(dir / "trusted.json") << "{ not json";
    TrustStore corrupt(dir / "trusted.json");
    EXPECT_FALSE(corrupt.find("h:21"));
    EXPECT_TRUE(corrupt.store("h:21", {"AA", true}));
    EXPECT_EQ(corrupt.find("h:21")->fingerprint, "AA");

    std::ofstream(dir / "file") << "x";
    TrustStore unwritable(dir / "file/trusted.json");  // a file where its folder should be
    EXPECT_FALSE(unwritable.store("h:21", {"AA", true}));
    EXPECT_FALSE(unwritable.find("h:21"));
}
