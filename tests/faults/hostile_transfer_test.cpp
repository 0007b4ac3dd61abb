// A hostile or slow server against the client's transfers: a count other than the announced size,
// a stranger at the active-mode data port, a trickled listing, a huge reply, and stop requests
// while the data barely moves. scripts/fault-matrix prints these as the hostile-server rows.
#include "platform/ftp/id_ftp.h"
#include "tests/platform/ftp/ftp_test_helpers.h"
#include "tests/support/scripted_ftp_peer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

using namespace Platform;
using TestSupport::ScriptedFtpPeer;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kHeard = std::chrono::milliseconds(200);
const std::string kStranger = "127.26.0.1";

std::chrono::milliseconds since(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

class HostileTransfer : public ::testing::Test {
protected:
    void use(ScriptedFtpPeer& peer)
    {
        ftp.Host = peer.host();
        ftp.Port = peer.port();
        ftp.Username = "u";
        ftp.Password = "p";
        ftp.ConnectTimeout = std::chrono::milliseconds(1500);
        ftp.ReadTimeout = std::chrono::milliseconds(600);
        peer.start();
        ftp.Connect();
    }
    // The session is still in step: the next command gets its own reply.
    void inStep(ScriptedFtpPeer& peer, const std::string& outcome)
    {
        EXPECT_TRUE(ftp.Connected());
        EXPECT_EQ(ftp.RetrieveCurrentDir(), "/ainda");
        EXPECT_TRUE(peer.finished(std::chrono::seconds(10)));
        EXPECT_EQ(peer.failure(), "");
        outcomes += (outcomes.empty() ? "" : "; ") + outcome;
    }
    void TearDown() override
    {
        if (!outcomes.empty())
            RecordProperty("outcome", outcomes);
    }
    std::string failureOf(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const FtpError& e) {
            return e.what();
        }
        return "no failure";
    }

    TIdFTP ftp;
    std::string outcomes;
    std::filesystem::path file = std::filesystem::temp_directory_path()
        / ("hostile-" + std::to_string(::getpid()) + ".xml");
    ~HostileTransfer() override { std::filesystem::remove(file); }
};

// SIZE said 2000: 1000 bytes then 226 is a failure, 5000 bytes stop at 2001 read and 2000 written,
// and exactly 2000 is a download; to a file (spliced) and to a stream alike.
TEST_F(HostileTransfer, ShortOrLongDownloadIsAFailureAndNothingPastTheSizeIsWritten)
{
    ScriptedFtpPeer peer("127.25.0.1");
    peer.login();
    for (int round = 0; round < 2; ++round) {
        peer.expect("EPRT").reply("200 ok").expect("RETR").reply("150 ok").dataConnect().dataSend(1000).dataClose()
            .reply("226 ok");
        peer.expect("EPRT").reply("200 ok").expect("RETR").reply("150 ok").dataConnect().dataSend(5000)
            .expect("ABOR").dataClose().send("426 interrompida\r\n226 ABOR ok\r\n");
        peer.expect("EPRT").reply("200 ok").expect("RETR").reply("150 ok").dataConnect().dataSend(2000).dataClose()
            .reply("226 ok");
    }
    peer.expect("PWD").reply("257 \"/ainda\"");
    use(peer);

    EXPECT_EQ(failureOf([&] { ftp.Get("a.xml", file.string(), true, 2000); }), "recebidos 1000 de 2000 bytes");
    EXPECT_EQ(failureOf([&] { ftp.Get("a.xml", file.string(), true, 2000); }), "recebidos 2001 de 2000 bytes");
    EXPECT_EQ(std::filesystem::file_size(file), 2000u);
    ftp.Get("a.xml", file.string(), true, 2000);
    EXPECT_EQ(std::filesystem::file_size(file), 2000u);

    std::ostringstream shortOut, longOut, exactOut;
    EXPECT_EQ(failureOf([&] { ftp.Get("a.xml", shortOut, 2000); }), "recebidos 1000 de 2000 bytes");
    EXPECT_EQ(failureOf([&] { ftp.Get("a.xml", longOut, 2000); }), "recebidos 2001 de 2000 bytes");
    EXPECT_EQ(longOut.str().size(), 2000u);
    ftp.Get("a.xml", exactOut, 2000);
    EXPECT_EQ(exactOut.str().size(), 2000u);
    inStep(peer, "short and long: failure, nothing past the size written");
}

// Someone at another address reaches the announced port first: turned away, the server's data counts.
TEST_F(HostileTransfer, StrangerAtTheActiveDataPortIsTurnedAway)
{
    ScriptedFtpPeer peer("127.25.0.2");
    peer.login()
        .expect("EPRT").reply("200 ok").expect("RETR").reply("150 ok").strangerConnect(kStranger, "forjado")
        .dataConnect().dataSend(3000).dataClose().reply("226 ok")
        .expect("EPRT").reply("200 ok").expect("LIST").reply("150 ok")
        .strangerConnect(kStranger, "01-15-24  03:45PM                   10 falso.xml\r\n")
        .dataConnect().dataClose().reply("226 ok")
        .expect("PWD").reply("257 \"/ainda\"");
    use(peer);
    std::ostringstream out;
    ftp.Get("a.xml", out, 3000);
    EXPECT_EQ(out.str().size(), 3000u);
    EXPECT_EQ(out.str().find("forjado"), std::string::npos);
    std::vector<std::string> lines;
    ftp.List(lines);
    EXPECT_TRUE(lines.empty());
    EXPECT_TRUE(peer.strangerRefused());
    inStep(peer, "stranger turned away, the server's data taken");
}

// One byte every 100 ms keeps each read inside its time-out; the listing as a whole has its own.
TEST_F(HostileTransfer, TrickledListingEndsAtItsDeadline)
{
    ScriptedFtpPeer peer("127.25.0.3");
    peer.login().expect("EPRT").reply("200 ok").expect("LIST").reply("150 ok").dataConnect()
        .dataTrickle(100000, std::chrono::milliseconds(100))
        .expect("ABOR").dataClose().send("426 interrompida\r\n226 ABOR ok\r\n")
        .expect("PWD").reply("257 \"/ainda\"");
    use(peer);
    ftp.ListingTimeout = std::chrono::milliseconds(1000);
    std::vector<std::string> lines;
    const auto start = Clock::now();
    const std::string failure = failureOf([&] { ftp.List(lines); });
    const auto took = since(start);
    EXPECT_EQ(failure, "A listagem do servidor FTP demorou mais de 1 s e foi interrompida.");
    EXPECT_LT(took, ftp.ListingTimeout + kHeard * 2);
    inStep(peer, "listing ended after " + std::to_string(took.count()) + " ms");
}

// 40 lines of 60 KB in one reply: refused past 1 MiB, the session closed, nothing held.
TEST_F(HostileTransfer, HugeReplyIsRefusedAndTheSessionClosed)
{
    std::string huge = "257-\"/\"\r\n";
    for (int i = 0; i < 40; ++i)
        huge += "257-" + std::string(60000, 'x') + "\r\n";
    ScriptedFtpPeer peer("127.25.0.4");
    peer.login().expect("PWD").send(huge).stall();
    use(peer);
    const std::string failure = failureOf([&] { ftp.RetrieveCurrentDir(); });
    EXPECT_NE(failure.find("resposta longa demais"), std::string::npos) << failure;
    EXPECT_FALSE(ftp.Connected());
    outcomes = failure.substr(0, 100);
}

// A stop asked from another thread, as the screen's Abort or Close asks the worker: the work event
// that polls it comes within a slice although the data barely moves, in both directions.
TEST_F(HostileTransfer, StopIsHeardWithin200MsWhileTheDataBarelyMoves)
{
    for (bool upload : {false, true}) {
        SCOPED_TRACE(upload ? "upload to a server that reads nothing" : "download at 20 bytes/s");
        ScriptedFtpPeer peer(upload ? "127.25.0.6" : "127.25.0.5");
        peer.login().expect("EPRT").reply("200 ok").expect(upload ? "STOR" : "RETR").reply("150 ok").dataConnect();
        if (!upload)
            peer.dataTrickle(100000, std::chrono::milliseconds(50));
        peer.expect("ABOR").dataClose().send("426 interrompida\r\n226 ABOR ok\r\n").expect("PWD")
            .reply("257 \"/ainda\"");
        use(peer);
        std::atomic<bool> stop{false}, working{false};
        ftp.OnWork = [&](TWorkMode, std::int64_t) {
            working = true;
            if (stop) {
                ftp.Abort();
                ftp.KillDataChannel();
            }
        };
        // The stop comes while the data is under way, however long a loaded machine took to get there.
        Clock::time_point asked;
        std::thread screen([&] {
            for (auto limit = Clock::now() + std::chrono::seconds(10); !working && Clock::now() < limit;)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            asked = Clock::now();
            stop = true;
        });
        const std::string bytes(32u << 20, 'u');
        std::istringstream in(bytes);
        bool aborted = false;
        try {
            if (upload)
                ftp.Put(in, "envio.xml", false);
            else
                ftp.Get("a.xml", file.string(), true, 100000);
        } catch (const FtpAborted&) {
            aborted = true;
        }
        screen.join();
        const auto heard = since(asked);
        EXPECT_TRUE(aborted);
        EXPECT_LT(heard, kHeard);
        inStep(peer, std::string(upload ? "upload" : "download") + " stopped " + std::to_string(heard.count())
                         + " ms after the request");
        ftp.Disconnect();
    }
}

} // namespace
