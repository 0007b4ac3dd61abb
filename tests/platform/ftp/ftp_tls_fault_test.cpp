// TLS from a hostile or broken server, played by the scripted peer: every failure is told at once or
// within its time-out, and the guarantees of a plain session hold over TLS too.
#include "platform/ftp/id_ftp.h"
#include "tests/platform/ftp/ftp_test_helpers.h"
#include "tests/support/appserver_fixture.h"
#include "tests/support/ftp_fixture.h"
#include "tests/support/scripted_ftp_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace Platform;
using TestSupport::ScriptedFtpPeer;

namespace {

using Clock = std::chrono::steady_clock;

class FtpTlsFault : public ::testing::Test {
protected:
    void use(ScriptedFtpPeer& peer)
    {
        ftp.Host = peer.host();
        ftp.Port = peer.port();
        ftp.Username = "u";
        ftp.Password = "Pa55-Secreta";
        ftp.UseTLS = TIdUseTLS::utUseExplicitTLS;
        ftp.OnVerifyPeer = [](const TlsCertificate&) { return true; };
        ftp.ConnectTimeout = std::chrono::milliseconds(800);
        ftp.ReadTimeout = std::chrono::milliseconds(800);
        peer.start();
    }
    // Greeting, AUTH TLS, the handshake, the log-in and the data protection, all over TLS.
    ScriptedFtpPeer& encryptedLogin(ScriptedFtpPeer& peer)
    {
        return peer.reply("220 pronto").expect("AUTH").reply("234 ok").tls(cert.certFile, cert.keyFile)
            .expect("USER").reply("331 senha").expect("PASS").reply("230 ok").expect("PBSZ").reply("200 ok")
            .expect("PROT").reply("200 ok");
    }
    // RETR in active mode over TLS up to the server's 150 and its encrypted data connection.
    ScriptedFtpPeer& encryptedRetr(ScriptedFtpPeer& peer)
    {
        return peer.expect("EPRT").reply("200 ok").expect("RETR").reply("150 dados").dataConnect();
    }

    TestSupport::ScratchDir scratch{"vop-tls-fault"};
    TestSupport::TestCertificate cert = TestSupport::makeTestCertificate(scratch.path(), "127.21.7.1");
    TIdFTP ftp;
};

} // namespace

// The handshake itself fails: the server closes in the middle of it, answers 234 and then speaks in
// clear, or never answers. The first two are told at once, the third at its time-out; none sends USER.
TEST_F(FtpTlsFault, AHandshakeThatBreaksOrStallsIsToldAndNothingIsLoggedIn)
{
    for (int fault = 0; fault < 3; ++fault) {
        SCOPED_TRACE(fault);
        ScriptedFtpPeer peer("127.21.7." + std::to_string(2 + fault));
        peer.reply("220 pronto").expect("AUTH").reply("234 ok");
        if (fault == 0)
            peer.tlsDrop();
        else if (fault == 1)
            peer.reply("220 agora sem criptografia").pause(std::chrono::milliseconds(2000));
        else
            peer.stall();
        use(peer);
        const auto started = Clock::now();
        try {
            ftp.Connect();
            ADD_FAILURE() << "connected";
        } catch (const FtpTimeout& e) {
            EXPECT_EQ(fault, 2) << e.what();
            EXPECT_NE(std::string(e.what()).find("negociação TLS"), std::string::npos) << e.what();
        } catch (const FtpError& e) {
            EXPECT_NE(fault, 2) << e.what();
            EXPECT_NE(std::string(e.what()).find("Falha na negociação TLS"), std::string::npos) << e.what();
            EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(500));
        }
        EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(2000));
        EXPECT_FALSE(ftp.Connected());
        for (const auto& command : peer.commands())
            EXPECT_NE(command.rfind("USER", 0), 0u);
    }
}

// A download over TLS whose data connection ends without close_notify is judged by its byte count, as a
// plain one is: whole, it is a download; short, the count says so and what came is kept.
TEST_F(FtpTlsFault, ADownloadWithoutCloseNotifyIsJudgedByItsCount)
{
    ScriptedFtpPeer peer("127.21.7.5");
    encryptedLogin(peer);
    encryptedRetr(peer).dataTls(cert.certFile, cert.keyFile).dataSend(300000).dataClose().reply("226 fim");
    encryptedRetr(peer).dataTls(cert.certFile, cert.keyFile).dataSend(200000).dataClose().reply("226 fim");
    use(peer);
    ftp.Connect();
    ASSERT_TRUE(ftp.Encrypted());
    ftp.Get("a.xml", scratch / "a", true, 300000);
    EXPECT_EQ(FtpTest::readFile(scratch / "a").size(), 300000u);
    try {
        ftp.GetFrom("b.xml", scratch / "b", 0, 300000);
        ADD_FAILURE() << "a short download passed";
    } catch (const FtpDataLost& e) {
        EXPECT_NE(std::string(e.what()).find("recebidos 200000 de 300000"), std::string::npos) << e.what();
    }
    EXPECT_EQ(FtpTest::readFile(scratch / "b").size(), 200000u);
    EXPECT_TRUE(peer.finished(std::chrono::seconds(10)));
    EXPECT_EQ(peer.failure(), "");
}

// A data connection whose handshake never ends: Abort is heard within 200 ms, ABOR goes inside TLS (no
// urgent byte outside it), both replies are read and the encrypted session stays in step.
TEST_F(FtpTlsFault, AbortIsHeardWhileTheDataHandshakeHangs)
{
    ScriptedFtpPeer peer("127.21.7.6");
    encryptedLogin(peer);
    encryptedRetr(peer).expect("ABOR").reply("426 abortada").reply("226 ok").expect("PWD").reply("257 \"/\"");
    use(peer);
    ftp.Connect();
    ftp.ReadTimeout = std::chrono::milliseconds(5000);
    Clock::time_point asked;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        asked = Clock::now();
        ftp.Abort();
    });
    EXPECT_THROW(ftp.Get("a.xml", scratch / "a", true, 1000), FtpAborted);
    const auto heard = Clock::now() - asked;
    stopper.join();
    EXPECT_LT(heard, std::chrono::milliseconds(200 + 100));  // the stop, then the server's two replies
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
    EXPECT_TRUE(peer.finished(std::chrono::seconds(10)));
    EXPECT_EQ(peer.failure(), "");
    for (const auto& line : peer.urgentLines())
        ADD_FAILURE() << "urgent data outside TLS: " << line;
}
