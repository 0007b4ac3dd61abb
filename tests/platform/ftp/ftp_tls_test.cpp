// TIdFTP against servers set up as offices meet them: vsftpd requiring TLS with session reuse,
// refusing active mode and dropping idle sessions; pyftpdlib's TLS handler in active mode.
#include "platform/ftp/id_ftp.h"
#include "tests/platform/ftp/ftp_test_helpers.h"
#include "tests/support/appserver_fixture.h"
#include "tests/support/ftp_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

using namespace Platform;

namespace {

struct Session {
    explicit Session(const TestSupport::FtpFixtureOptions& base, const std::string& certHost)
        : cert(TestSupport::makeTestCertificate(scratch.path(), certHost))
    {
        TestSupport::FtpFixtureOptions options = base;
        options.host = certHost;
        options.root = scratch / "root";
        options.tlsCert = cert.certFile;
        options.tlsKey = cert.keyFile;
        std::filesystem::create_directories(options.root + "/pub");
        server = std::make_unique<TestSupport::FtpFixture>(options);
        ftp.Host = certHost;
        ftp.Username = server->user();
        ftp.Password = server->password();
        ftp.UseTLS = TIdUseTLS::utUseExplicitTLS;
        ftp.ReadTimeout = std::chrono::milliseconds(20000);
        ftp.OnLog = [this](TIdLogKind kind, const std::string& text) {
            if (kind == TIdLogKind::Sent)
                sent.push_back(text);
        };
    }
    bool sentVerb(const std::string& verb) const
    {
        for (const auto& line : sent)
            if (line.rfind(verb, 0) == 0)
                return true;
        return false;
    }

    TestSupport::ScratchDir scratch{"vop-tls"};
    TestSupport::TestCertificate cert;
    std::unique_ptr<TestSupport::FtpFixture> server;
    TIdFTP ftp;
    std::vector<std::string> sent;
};

TestSupport::FtpFixtureOptions vsftpd(bool active = false, int idle = 300)
{
    TestSupport::FtpFixtureOptions options;
    options.kind = TestSupport::FtpServerKind::Vsftpd;
    options.active = active;
    options.idleSeconds = idle;
    return options;
}

} // namespace

// Everything a session does, over TLS, against a server that requires it and refuses active mode:
// the certificate is judged before USER, the listing falls back to passive mode, and every data
// connection resumes the session (vsftpd refuses one that does not: "522 ... session reuse required").
TEST(FtpTls, RequiredTlsAndRefusedActiveModeCarryEveryCommandByteExact)
{
    Session s(vsftpd(), "127.0.71.1");
    const std::string payload = FtpTest::patternBytes(3 * 1024 * 1024 + 17);
    FtpTest::writeFile(s.server->root() + "/pub/nota.xml", payload);
    std::optional<TlsCertificate> seen;
    bool userBeforeQuestion = false;
    s.ftp.OnVerifyPeer = [&](const TlsCertificate& cert) {
        seen = cert;
        userBeforeQuestion = s.sentVerb("USER");
        return true;
    };
    s.ftp.Connect();
    ASSERT_TRUE(seen);
    EXPECT_FALSE(userBeforeQuestion);
    EXPECT_EQ(seen->fingerprint, TestSupport::certificateFingerprint(s.cert.certFile));
    EXPECT_TRUE(seen->selfSigned);
    EXPECT_FALSE(seen->chainValid);
    EXPECT_TRUE(seen->hostMatches);
    EXPECT_FALSE(seen->expired || seen->notYetValid);
    EXPECT_NE(seen->subject.find("CN=127.0.71.1"), std::string::npos) << seen->subject;
    const auto info = s.ftp.TlsInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->protocol.rfind("TLSv1.", 0), 0u) << info->protocol;
    EXPECT_EQ(info->fingerprint, seen->fingerprint);

    std::vector<std::string> lines;
    s.ftp.List(lines);
    EXPECT_TRUE(s.ftp.Passive) << "active mode refused: the session goes on in passive mode";
    s.ftp.ChangeDir("pub");
    s.ftp.TransferType(TIdFTPTransferType::ftBinary);
    for (int round = 0; round < 2; ++round) {
        const std::string local = s.scratch / ("nota-" + std::to_string(round));
        s.ftp.Get("nota.xml", local, true, s.ftp.Size("nota.xml"));
        EXPECT_EQ(FtpTest::readFile(local), payload);
    }
    s.ftp.Put(s.scratch / "nota-0", "enviada.xml", false);
    EXPECT_EQ(FtpTest::readFile(s.server->root() + "/pub/enviada.xml"), payload);

    // An abort mid-download keeps the encrypted session in step.
    FtpTest::writeFile(s.server->root() + "/pub/grande.bin", FtpTest::patternBytes(64 << 20));
    s.ftp.OnWork = [&](TWorkMode, std::int64_t count) {
        if (count > (1 << 20))
            s.ftp.Abort();
    };
    EXPECT_THROW(s.ftp.Get("grande.bin", s.scratch / "grande", true, 64 << 20), FtpAborted);
    s.ftp.OnWork = nullptr;
    EXPECT_EQ(s.ftp.RetrieveCurrentDir(), "/pub");
    s.ftp.Disconnect();
}

// What is refused, refused before USER: a certificate not accepted, one that differs from the
// accepted fingerprint, and (when TLS is required) a server that will not speak it.
TEST(FtpTls, RefusalsComeBeforeTheLogIn)
{
    Session s(vsftpd(true), "127.0.71.2");
    s.ftp.OnVerifyPeer = [](const TlsCertificate&) { return false; };
    EXPECT_THROW(s.ftp.Connect(), FtpCertificateRejected);
    s.ftp.OnVerifyPeer = nullptr;
    EXPECT_THROW(s.ftp.Connect(), FtpCertificateRejected) << "self-signed: not trusted by the system";
    s.ftp.TrustedFingerprint = "00:11";
    EXPECT_THROW(s.ftp.Connect(), FtpCertificateRejected);
    EXPECT_FALSE(s.sentVerb("USER"));
    s.ftp.TrustedFingerprint = TestSupport::certificateFingerprint(s.cert.certFile);
    s.ftp.Connect();
    EXPECT_TRUE(s.ftp.Connected());
    s.ftp.Disconnect();

    TestSupport::ScratchDir plainRoot("vop-plain");
    TestSupport::FtpFixtureOptions plain;
    plain.host = "127.0.71.3";
    plain.root = plainRoot / "root";
    std::filesystem::create_directories(plain.root);
    TestSupport::FtpFixture server(plain);
    TIdFTP ftp;
    ftp.Host = plain.host;
    ftp.Username = plain.user;
    ftp.Password = plain.password;
    ftp.UseTLS = TIdUseTLS::utUseExplicitTLS;
    ftp.Connect();  // refused AUTH TLS: plain FTP as before
    EXPECT_FALSE(ftp.TlsInfo());
    ftp.Disconnect();
    ftp.UseTLS = TIdUseTLS::utUseRequireTLS;
    std::vector<std::string> sent;
    ftp.OnLog = [&](TIdLogKind kind, const std::string& text) {
        if (kind == TIdLogKind::Sent)
            sent.push_back(text);
    };
    EXPECT_THROW(ftp.Connect(), FtpTlsRefused);
    EXPECT_EQ(sent, std::vector<std::string>{"AUTH TLS"});
}

// pyftpdlib's TLS handler in active mode: we accept the data connection, then act as its TLS client.
TEST(FtpTls, ActiveModeDataConnectionsAreEncryptedToo)
{
    TestSupport::FtpFixtureOptions options;
    options.tlsRequired = true;
    Session s(options, "127.0.71.4");
    const std::string payload = FtpTest::patternBytes(1 << 20, 7);
    FtpTest::writeFile(s.server->root() + "/pub/a.xml", payload);
    s.ftp.TrustedFingerprint = TestSupport::certificateFingerprint(s.cert.certFile);
    s.ftp.Connect();
    s.ftp.ChangeDir("pub");
    s.ftp.TransferType(TIdFTPTransferType::ftBinary);
    s.ftp.Get("a.xml", s.scratch / "a", true, s.ftp.Size("a.xml"));
    EXPECT_EQ(FtpTest::readFile(s.scratch / "a"), payload);
    s.ftp.Put(s.scratch / "a", "b.xml", false);
    EXPECT_EQ(FtpTest::readFile(s.server->root() + "/pub/b.xml"), payload);
    EXPECT_FALSE(s.ftp.Passive);
    s.ftp.Disconnect();
}

// A server that drops an idle encrypted session is seen as gone without a command being sent.
TEST(FtpTls, AnIdleSessionDroppedByTheServerIsSeen)
{
    Session s(vsftpd(false, 1), "127.0.71.5");
    s.ftp.OnVerifyPeer = [](const TlsCertificate&) { return true; };
    s.ftp.Connect();
    EXPECT_TRUE(s.ftp.Connected());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_FALSE(s.ftp.Connected());
}
