// Every step of a client session against every way a server can fail there: the client must give
// a clear error within the step's time-out plus a margin, end disconnected (the lamp red), and
// work again against a healthy server. scripts/fault-matrix prints these cells as a table.
#include "tests/faults/session_faults.h"

#include "platform/ftp/id_ftp.h"
#include "tests/support/ftp_fixture.h"

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/StreamSocket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

using namespace FaultMatrix;
using Platform::FtpError;
using Platform::TIdFTP;
using Platform::TIdStatus;
using TestSupport::ScriptedFtpPeer;

namespace {

constexpr const char* kPassword = "Segredo-9931";

struct Cell {
    Step step;
    Fault fault;
    // The download goes to a file and the upload comes from one (spliced in, sent from the page
    // cache), as the screen's transfers do, instead of through memory.
    bool files = false;
};

void PrintTo(const Cell& c, std::ostream* os)
{
    *os << stepName(c.step) << "/" << faultName(c.fault) << (c.files ? "/files" : "");
}

std::vector<Cell> allCells()
{
    std::vector<Cell> cells;
    for (Step s : allSteps())
        for (Fault f : allFaults())
            cells.push_back({s, f});
    return cells;
}

std::vector<Cell> fileCells()
{
    std::vector<Cell> cells;
    for (Step s : {Step::RetrMidData, Step::StorMidData, Step::FinalReply})
        for (Fault f : allFaults())
            cells.push_back({s, f, true});
    return cells;
}

// A listener whose accept queue is full: the kernel drops further SYNs, so a connect hangs as it
// would towards a host that has vanished.
class FullBacklogListener {
public:
    explicit FullBacklogListener(const std::string& ip) : listener_(Poco::Net::SocketAddress(ip, 0), 1)
    {
        for (int i = 0; i < 16; ++i) {
            Poco::Net::StreamSocket filler;
            try {
                filler.connect(listener_.address(), Poco::Timespan(0, 200000));
            } catch (...) {
                return; // this SYN went unanswered: the queue is full
            }
            fillers_.push_back(filler);
        }
    }
    int port() const { return listener_.address().port(); }

private:
    Poco::Net::ServerSocket listener_;
    std::vector<Poco::Net::StreamSocket> fillers_;
};

// A port on ip that nobody listens on.
int closedPort(const std::string& ip)
{
    Poco::Net::ServerSocket probe(Poco::Net::SocketAddress(ip, 0));
    const int port = probe.address().port();
    probe.close();
    return port;
}

std::string cellAddress(const Cell& c)
{
    return std::string(c.files ? "127.24." : "127.23.") + std::to_string(static_cast<int>(c.step) + 1) + "."
        + std::to_string(static_cast<int>(c.fault) + 1);
}

class FaultMatrixTest : public ::testing::TestWithParam<Cell> {
protected:
    void configure(const std::string& host, int port)
    {
        ftp.Host = host;
        ftp.Port = port;
        ftp.Username = "contador";
        ftp.Password = kPassword;
        ftp.ConnectTimeout = kConnectTimeout;
        ftp.ReadTimeout = kReadTimeout;
        ftp.OnStatus = [this](TIdStatus s, const std::string&) { statuses.push_back(s); };
    }

    // The session every cell walks through; it stops at the first failure.
    void runSession(bool files)
    {
        std::vector<std::string> lines;
        std::ostringstream downloaded;
        const std::string uploadBytes(kUploadBytes, 'u');
        std::istringstream upload(uploadBytes);
        if (files)
            std::ofstream(scratch / "envio.xml", std::ios::binary) << uploadBytes;
        const std::function<void()> operations[] = {
            [&] { ftp.Connect(); },
            [&] { ftp.ChangeDir("XMLFTP"); },
            [&] { ftp.RetrieveCurrentDir(); },
            [&] { ftp.List(lines); },
            [&] { ftp.TransferType(Platform::TIdFTPTransferType::ftBinary); },
            [&] { ftp.Size("nota.xml"); },
            [&] {
                if (files)
                    ftp.Get("nota.xml", scratch / "nota.xml", true, 600000);
                else
                    ftp.Get("nota.xml", downloaded);
            },
            [&] {
                if (files)
                    ftp.Put(scratch / "envio.xml", "envio.xml", false);
                else
                    ftp.Put(upload, "envio.xml", false);
            },
        };
        for (const auto& operation : operations) {
            const auto start = std::chrono::steady_clock::now();
            try {
                operation();
            } catch (const FtpError& e) {
                failure = e.what();
                failureKind = kindOf(e);
                elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
                return;
            }
        }
    }

    static std::string kindOf(const FtpError& e)
    {
        if (dynamic_cast<const Platform::FtpTimeout*>(&e))
            return "timeout";
        if (dynamic_cast<const Platform::FtpConnectionLost*>(&e))
            return "connection lost";
        if (dynamic_cast<const Platform::FtpAborted*>(&e))
            return "aborted";
        return "error";
    }

    TestSupport::ScratchDir scratch{"vop-faults"};
    TIdFTP ftp;
    std::vector<TIdStatus> statuses;
    std::string failure;
    std::string failureKind;
    std::chrono::milliseconds elapsed{0};
};

TEST_P(FaultMatrixTest, ClearErrorInTimeDisconnectedAndRecovers)
{
    const Cell cell = GetParam();
    const std::string ip = cellAddress(cell);
    std::unique_ptr<ScriptedFtpPeer> peer;
    std::unique_ptr<FullBacklogListener> blackHole;

    if (cell.step == Step::Connect && cell.fault == Fault::Close) {
        configure(ip, closedPort(ip));
    } else if (cell.step == Step::Connect && cell.fault == Fault::Stall) {
        blackHole = std::make_unique<FullBacklogListener>(ip);
        configure(ip, blackHole->port());
    } else {
        peer = std::make_unique<ScriptedFtpPeer>(ip);
        scriptFaultySession(*peer, cell.step, cell.fault);
        configure(ip, peer->port());
        peer->start();
    }

    runSession(cell.files);

    // A clear error, in time.
    ASSERT_FALSE(failure.empty()) << "the session went through a faulty server without an error";
    EXPECT_EQ(failure.find(kPassword), std::string::npos) << failure;
    EXPECT_GE(failure.size(), 20u) << "not a message a user can act on: " << failure;
    const auto limit = governingTimeout(cell.step) + kMargin;
    EXPECT_LE(elapsed.count(), limit.count()) << failure;
    // Only a stall may cost a time-out: a hang-up, a reset or babble is noticed at once, even while
    // the client waits for the data connection.
    if (cell.fault == Fault::Stall) {
        EXPECT_EQ(failureKind, "timeout") << failure;
    } else {
        EXPECT_NE(failureKind, "timeout") << failure;
    }

    // The session is gone, and the lamp's last word is "not connected".
    EXPECT_FALSE(ftp.Connected());
    if (!statuses.empty()) {
        EXPECT_NE(statuses.back(), TIdStatus::hsConnected);
    }
    if (std::find(statuses.begin(), statuses.end(), TIdStatus::hsConnected) != statuses.end()) {
        EXPECT_EQ(statuses.back(), TIdStatus::hsDisconnected);
    }
    if (peer) {
        EXPECT_EQ(peer->failure(), "") << "the client strayed from the script before the fault";
    }

    // The same client works once the server is healthy again.
    ScriptedFtpPeer healthy(ip);
    scriptHealthySession(healthy);
    healthy.start();
    ftp.Port = healthy.port();
    statuses.clear();
    std::vector<std::string> lines;
    ASSERT_NO_THROW({
        ftp.Connect();
        EXPECT_EQ(ftp.RetrieveCurrentDir(), "/XMLFTP");
        ftp.List(lines);
    });
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(statuses.back(), TIdStatus::hsConnected);
    EXPECT_TRUE(healthy.finished(std::chrono::seconds(5)));
    EXPECT_EQ(healthy.failure(), "");

    std::ostringstream outcome;
    outcome << failureKind << " after " << elapsed.count() << " ms";
    RecordProperty("outcome", outcome.str());
    RecordProperty("message", failure.substr(0, 120));
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrixTest, ::testing::ValuesIn(allCells()), [](const auto& info) {
    return stepName(info.param.step) + "_" + faultName(info.param.fault);
});

INSTANTIATE_TEST_SUITE_P(FileCells, FaultMatrixTest, ::testing::ValuesIn(fileCells()), [](const auto& info) {
    return stepName(info.param.step) + "_" + faultName(info.param.fault);
});

} // namespace
