// TIdFTP against a scripted peer: lost connections, stalls, garbage, multi-line replies, abort races.
#include "platform/ftp/id_ftp.h"
#include "tests/platform/ftp/ftp_test_helpers.h"
#include "tests/support/scripted_ftp_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

using namespace Platform;
using TestSupport::ScriptedFtpPeer;

namespace {

constexpr const char* kPassword = "Pa55-Secreta";

class FtpFaultTest : public ::testing::Test {
protected:
    void use(ScriptedFtpPeer& peer)
    {
        ftp.Host = peer.host();
        ftp.Port = peer.port();
        ftp.Username = "u";
        ftp.Password = kPassword;
        ftp.ConnectTimeout = std::chrono::milliseconds(1500);
        ftp.ReadTimeout = std::chrono::milliseconds(600);
        log.attach(ftp);
        peer.start();
    }
    // The peer's script must have run to its end without a surprise.
    static void scriptDone(ScriptedFtpPeer& peer)
    {
        EXPECT_TRUE(peer.finished(std::chrono::seconds(10)));
        EXPECT_EQ(peer.failure(), "");
    }

    TIdFTP ftp;
    FtpTest::EventLog log;
};

// ---- the connection goes away ------------------------------------------------------------------

TEST_F(FtpFaultTest, Reply421EndsTheSession)
{
    ScriptedFtpPeer peer("127.21.1.1");
    peer.login().expect("PWD").reply("421 Tempo de inatividade esgotado.").close();
    use(peer);
    ftp.Connect();
    try {
        ftp.RetrieveCurrentDir();
        FAIL() << "421 accepted";
    } catch (const FtpConnectionLost& e) {
        EXPECT_EQ(e.ReplyCode(), 421);
        EXPECT_NE(std::string(e.what()).find("inatividade"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(log.statuses.back(), TIdStatus::hsDisconnected);
    EXPECT_THROW(ftp.ChangeDir("x"), FtpConnectionLost);
    scriptDone(peer);
}

TEST_F(FtpFaultTest, DisconnectSaysQuitWithoutAwaitingTheAnswer)
{
    // One server answers late (as vsftpd does once it has closed a large stored file), one never.
    for (bool answers : {true, false}) {
        SCOPED_TRACE(answers ? "late answer" : "silent");
        ScriptedFtpPeer peer(answers ? "127.21.2.1" : "127.21.2.2");
        peer.login().expect("QUIT");
        if (answers)
            peer.pause(std::chrono::milliseconds(800)).reply("221 Até logo.").close();
        else
            peer.stall();
        use(peer);
        ftp.ReadTimeout = std::chrono::milliseconds(30000);
        ftp.Connect();
        const auto start = std::chrono::steady_clock::now();
        ftp.Disconnect();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
        EXPECT_FALSE(ftp.Connected());
        for (auto until = start + std::chrono::seconds(5);
             peer.commands().size() < 3 && std::chrono::steady_clock::now() < until;)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(peer.commands().size(), 3u);
        EXPECT_EQ(peer.commands().back(), "QUIT");
        ftp.Disconnect();  // a second one sends nothing
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(peer.commands().size(), 3u);
    }
}

TEST_F(FtpFaultTest, Unsolicited421IsSeenByConnected)
{
    ScriptedFtpPeer peer("127.21.1.2");
    peer.login().reply("421 Servidor em manutenção.").close();
    use(peer);
    ftp.Connect();
    scriptDone(peer);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(log.statuses.back(), TIdStatus::hsDisconnected);
}

TEST_F(FtpFaultTest, SilentCloseAndResetAreConnectionLoss)
{
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "close");
        ScriptedFtpPeer peer(reset ? "127.21.1.3" : "127.21.1.4");
        peer.login().expect("CWD");
        if (reset)
            peer.reset();
        else
            peer.close();
        use(peer);
        ftp.Connect();
        EXPECT_THROW(ftp.ChangeDir("XMLFTP"), FtpConnectionLost);
        EXPECT_FALSE(ftp.Connected());
        scriptDone(peer);
    }
}

TEST_F(FtpFaultTest, SilentCloseIsSeenWithoutACommand)
{
    ScriptedFtpPeer peer("127.21.1.5");
    peer.login().close();
    use(peer);
    ftp.Connect();
    scriptDone(peer);
    EXPECT_FALSE(ftp.Connected());
}

// ---- nothing comes back ----------------------------------------------------------------------

TEST_F(FtpFaultTest, MissingBannerTimesOut)
{
    ScriptedFtpPeer peer("127.21.1.6");
    peer.stall();
    use(peer);
    ftp.ConnectTimeout = std::chrono::milliseconds(500);
    EXPECT_THROW(ftp.Connect(), FtpTimeout);
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(FtpFaultTest, MissingReplyTimesOut)
{
    ScriptedFtpPeer peer("127.21.1.7");
    peer.login().expect("PWD").stall();
    use(peer);
    ftp.Connect();
    EXPECT_THROW(ftp.RetrieveCurrentDir(), FtpTimeout);
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(FtpFaultTest, TransferThatStallsAfter150TimesOut)
{
    ScriptedFtpPeer peer("127.21.1.8");
    peer.login().expect("EPRT").reply("200 ok").expect("RETR").reply("150 Abrindo conexão.").dataConnect()
        .dataSend(1000).stall();
    use(peer);
    ftp.Connect();
    std::ostringstream out;
    EXPECT_THROW(ftp.Get("a.xml", out), FtpTimeout);
    EXPECT_EQ(log.ends, 1);
    EXPECT_FALSE(ftp.Connected());
}

// All data came, the final reply never does: one time-out, not the wait for the reply plus another,
// and the last work event repeats meanwhile so that an abort could still be asked.
TEST_F(FtpFaultTest, FinalReplyThatNeverComesTimesOutOnce)
{
    ScriptedFtpPeer peer("127.21.1.23");
    peer.login().expect("EPRT").reply("200 ok").expect("RETR").reply("150 Abrindo conexão.").dataConnect()
        .dataSend(1000).dataClose().stall();
    use(peer);
    ftp.Connect();
    std::ostringstream out;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(ftp.Get("a.xml", out), FtpTimeout);
    EXPECT_LT(std::chrono::steady_clock::now() - start, ftp.ReadTimeout + std::chrono::milliseconds(400));
    EXPECT_GE(log.counts.size(), 3u);
    EXPECT_EQ(out.str().size(), 1000u);
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(FtpFaultTest, DataConnectionThatNeverComesTimesOut)
{
    ScriptedFtpPeer peer("127.21.1.9");
    peer.login().expect("EPRT").reply("200 ok").expect("RETR").reply("150 Abrindo conexão.").stall();
    use(peer);
    ftp.Connect();
    std::ostringstream out;
    EXPECT_THROW(ftp.Get("a.xml", out), FtpTimeout);
    EXPECT_FALSE(ftp.Connected());
}

// ---- what comes back is wrong ------------------------------------------------------------------

struct GarbageCase {
    const char* host;
    const char* name;
    std::string bytes;
};
void PrintTo(const GarbageCase& c, std::ostream* os) { *os << c.name; }

class FtpGarbageTest : public FtpFaultTest, public ::testing::WithParamInterface<GarbageCase> {};

TEST_P(FtpGarbageTest, GarbageReplyIsAProtocolError)
{
    ScriptedFtpPeer peer(GetParam().host);
    peer.login().expect("PWD").send(GetParam().bytes).stall();
    use(peer);
    ftp.Connect();
    try {
        ftp.RetrieveCurrentDir();
        FAIL() << "garbage accepted";
    } catch (const FtpError& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
    }
    EXPECT_FALSE(ftp.Connected());
}

INSTANTIATE_TEST_SUITE_P(Replies, FtpGarbageTest,
                         ::testing::Values(GarbageCase{"127.21.1.10", "Prose", "Ola, tudo bem?\r\n"},
                                           GarbageCase{"127.21.1.11", "ShortCode", "25\r\n"},
                                           GarbageCase{"127.21.1.12", "Binary", "\x01\x02\xff\xfe lixo\r\n"},
                                           GarbageCase{"127.21.1.13", "CodeOutOfRange", "999 fora da faixa\r\n"},
                                           GarbageCase{"127.21.1.14", "NoSeparator", "257x\"/\"\r\n"},
                                           GarbageCase{"127.21.1.15", "EndlessMultiLine", "257-\"/\"\r\n mais\r\n"},
                                           GarbageCase{"127.21.1.16", "EndlessLine", std::string(100000, 'A')}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FtpFaultTest, MultiLineRepliesAreReadWholeAndKeepStep)
{
    ScriptedFtpPeer peer("127.21.1.17");
    peer.send("220-Bem-vindo\r\n220-segunda linha\r\n 220 ainda não acabou\r\n220 pronto\r\n")
        .expect("USER").reply("331 senha")
        .expect("PASS").send("230-Avisos:\r\n230-\r\n  leia com aten\xE7\xE3o\r\n230 entrou\r\n")
        .expect("PWD").send("257-\"/Organiza\xE7\xE3o \"\"12\"\"\" \xE9 o atual\r\n257 fim\r\n")
        .expect("CWD").send("250 ok\r\n")
        .expect("SIZE").send("213 48213\r\n");
    use(peer);
    ftp.Connect();
    EXPECT_EQ(ftp.LastReply(), "230-Avisos:\n230-\n  leia com atenção\n230 entrou");
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/Organização \"12\"");
    ftp.ChangeDir("x");
    EXPECT_EQ(ftp.LastReply(), "250 ok");
    EXPECT_EQ(ftp.Size("a.xml"), 48213);
    scriptDone(peer);
}

TEST_F(FtpFaultTest, DataClosedEarlyWith426FailsButKeepsTheSession)
{
    ScriptedFtpPeer peer("127.21.1.18");
    peer.login().expect("EPRT").reply("200 ok").expect("RETR").reply("150 ok").dataConnect().dataSend(5000)
        .dataClose().reply("426 Conexão encerrada; transferência interrompida.").expect("PWD").reply("257 \"/\"");
    use(peer);
    ftp.Connect();
    std::ostringstream out;
    try {
        ftp.Get("a.xml", out);
        FAIL() << "426 accepted";
    } catch (const FtpAborted&) {
        FAIL() << "nobody aborted";
    } catch (const FtpError& e) {
        EXPECT_EQ(e.ReplyCode(), 426);
    }
    EXPECT_EQ(log.ends, 1);
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
    scriptDone(peer);
}

TEST_F(FtpFaultTest, ActiveModeFallsBackToPort)
{
    ScriptedFtpPeer peer("127.21.1.19");
    peer.login().expect("EPRT").reply("500 'EPRT': command not understood").expect("PORT").reply("200 ok")
        .expect("LIST").reply("150 ok").dataConnect().dataClose().reply("226 ok")
        .expect("PORT").reply("200 ok").expect("LIST").reply("150 ok").dataConnect().dataClose().reply("226 ok");
    use(peer);
    ftp.Connect();
    std::vector<std::string> lines;
    ftp.List(lines);
    ftp.List(lines); // EPRT is not tried again on this session
    EXPECT_TRUE(lines.empty());
    scriptDone(peer);
}

// A data connection the server cannot open (425) turns the session passive and the command is
// redone; a PASV address that is not the server's own (NAT) is replaced by the control peer's.
TEST_F(FtpFaultTest, Refused425GoesPassiveAndAForeignPasvAddressIsReplaced)
{
    ScriptedFtpPeer peer("127.21.1.27");
    peer.login().expect("EPRT").reply("200 ok").expect("LIST").reply("425 Can't open data connection.")
        .expect("EPSV").reply("500 'EPSV': command not understood").expect("PASV").passive("10.9.9.9")
        .expect("LIST").reply("150 ok").dataAccept().dataClose().reply("226 ok")
        .expect("PASV").passive("10.9.9.9").expect("LIST").reply("150 ok").dataAccept().dataClose().reply("226 ok");
    use(peer);
    ftp.Connect();
    std::vector<std::string> lines;
    ftp.List(lines);
    EXPECT_TRUE(ftp.Passive);
    ftp.List(lines);  // passive from then on, PASV straight away
    EXPECT_TRUE(lines.empty());
    scriptDone(peer);
}

// ---- abort --------------------------------------------------------------------------------------

struct AbortRace {
    const char* host;
    bool transferEndedFirst; // the server finished the transfer before it saw ABOR
};

void PrintTo(const AbortRace& c, std::ostream* os) { *os << (c.transferEndedFirst ? "226 then 225" : "426 then 226"); }

class FtpAbortRaceTest : public FtpFaultTest, public ::testing::WithParamInterface<AbortRace> {};

TEST_P(FtpAbortRaceTest, BothRepliesAreConsumed)
{
    ScriptedFtpPeer peer(GetParam().host);
    peer.login().expect("EPRT").reply("200 ok").expect("RETR").reply("150 ok").dataConnect().dataSend(8 << 20);
    if (GetParam().transferEndedFirst)
        peer.dataClose().reply("226 Transfer complete.").expect("ABOR").reply("225 No transfer to ABOR.");
    else
        peer.expect("ABOR").dataClose().send("426 Transfer aborted.\r\n226 ABOR successful.\r\n");
    peer.expect("PWD").reply("257 \"/depois\"");
    use(peer);
    ftp.Connect();
    ftp.OnWork = [&](TWorkMode, std::int64_t) {
        ftp.Abort();
        ftp.KillDataChannel();
    };
    std::ostringstream out;
    EXPECT_THROW(ftp.Get("a.xml", out), FtpAborted);
    EXPECT_EQ(log.ends, 1);
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/depois");
    scriptDone(peer);
    // Telnet IP, then the urgent IAC, DM, and the command.
    const auto commands = peer.commands();
    ASSERT_GE(commands.size(), 2u);
    EXPECT_EQ(commands[commands.size() - 2], "\xFF\xF4\xFF\xF2" "ABOR");
    // The IAC before DM went as urgent data: the urgent mark is the one at "IAC DM".
    EXPECT_EQ(peer.urgentLines(), std::vector<std::string>{"\xFF\xF2" "ABOR"});
}

INSTANTIATE_TEST_SUITE_P(Races, FtpAbortRaceTest,
                         ::testing::Values(AbortRace{"127.21.1.20", false}, AbortRace{"127.21.1.21", true}),
                         [](const auto& info) {
                             return std::string(info.param.transferEndedFirst ? "TransferEndedFirst" : "AbortFirst");
                         });

// ---- what is sent ---------------------------------------------------------------------------------

TEST_F(FtpFaultTest, LineBreaksInArgumentsAreRefusedWithoutSending)
{
    ScriptedFtpPeer peer("127.21.1.22");
    peer.login().expect("PWD").reply("257 \"/\"").expect("CWD").reply("250 ok");
    use(peer);
    ftp.Connect();
    EXPECT_THROW(ftp.ChangeDir("XMLFTP\r\nDELE importante.xml"), FtpError);
    EXPECT_THROW(ftp.MakeDir("a\nb"), FtpError);
    EXPECT_THROW(ftp.Delete("a\rb"), FtpError);
    EXPECT_THROW(ftp.SendCmd("NOOP\r\nRMD XMLFTP", {200}), FtpError);
    std::ostringstream out;
    EXPECT_THROW(ftp.Get("x\r\nDELE y", out), FtpError);
    EXPECT_THROW(ftp.ChangeDir("名"), FtpError);
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
    ftp.ChangeDir("ÿç");
    scriptDone(peer);
    const std::vector<std::string> expected = {"USER u", std::string("PASS ") + kPassword, "PWD",
                                               "CWD \xFF\xFF\xE7"};
    EXPECT_EQ(peer.commands(), expected);
    EXPECT_EQ(log.begins.size(), 0u); // the refused RETR never started
}

TEST_F(FtpFaultTest, PasswordNeverAppearsInMessages)
{
    struct Echo {
        std::string password, reply, kept;  // kept: text of the reply the message must still show
    };
    const std::string secret = kPassword;
    const Echo echoes[] = {
        {secret, "530 Senha " + secret + " incorreta.", "incorreta"},
        {secret, "421 Adeus " + secret, "Adeus"},
        {secret, "lixo " + secret, "lixo"},
        {secret, "530 Senha" + secret + "incorreta.", "incorreta"},  // run into other words
        // An invalid reply is cut for the message; the cut falls inside the password.
        {secret, "lixo " + std::string(70, 'x') + secret, "lixo xxx"},
        // A short password is masked only as a whole word: the numbers around it stay.
        {"12", "530 Organiza\xE7\xE3o 123 recusou 12.", "Organização 123 recusou ******."},  // CP1252 on the wire
    };
    int n = 0;
    for (const auto& echo : echoes) {
        SCOPED_TRACE(echo.reply);
        ScriptedFtpPeer peer("127.21.1." + std::to_string(30 + n++));
        peer.reply("220 oi").expect("USER").reply("331 senha").expect("PASS").reply(echo.reply).stall();
        use(peer);
        ftp.Password = echo.password;
        try {
            ftp.Connect();
            FAIL() << "login accepted";
        } catch (const FtpError& e) {
            const std::string message = e.what();
            if (echo.password == secret) {  // not even its first part
                EXPECT_EQ(message.find(secret.substr(0, 5)), std::string::npos) << message;
            }
            EXPECT_NE(message.find(echo.kept), std::string::npos) << message;
        }
        EXPECT_FALSE(ftp.Connected());
    }
}

} // namespace
