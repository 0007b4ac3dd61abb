// TIdFTP against the real test server (pyftpdlib speaking CP1252, MS-DOS listings).
#include "platform/ftp/id_ftp.h"
#include "tests/platform/ftp/ftp_test_helpers.h"
#include "tests/support/ftp_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <chrono>
#include <sstream>
#include <thread>

#include <unistd.h>

using namespace Platform;
using FtpTest::EventLog;

namespace {

class FtpServerTest : public ::testing::Test {
protected:
    void serve(const std::string& host, bool seed = false, const std::string& disable = {}, int throttle = 0)
    {
        std::filesystem::create_directories(root());
        TestSupport::FtpFixtureOptions options;
        options.host = host;
        options.root = root();
        options.user = "operador";
        options.password = "Senha-Forte#42";
        options.seed = seed;
        options.disable = disable;
        options.throttle = throttle;
        server = std::make_unique<TestSupport::FtpFixture>(options);
        ftp.Host = host;
        ftp.Username = options.user;
        ftp.Password = options.password;
        ftp.ReadTimeout = std::chrono::milliseconds(20000);
    }
    std::string root() const { return scratch / "root"; }
    std::string local(const std::string& name) const { return scratch / name; }
    bool listed(const std::string& name)
    {
        std::vector<std::string> lines;
        ftp.List(lines);
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.size() > name.size() && l.compare(l.size() - name.size() - 1, std::string::npos, " " + name) == 0;
        });
    }

    TestSupport::ScratchDir scratch{"vop-ftp"};
    std::unique_ptr<TestSupport::FtpFixture> server;
    TIdFTP ftp;
};

TEST_F(FtpServerTest, CommandSetWorksEndToEnd)
{
    serve("127.21.0.1");
    EventLog log;
    ftp.OnStatus = [&](TIdStatus s, const std::string&) { log.statuses.push_back(s); };
    ftp.Connect();
    ASSERT_TRUE(ftp.Connected());
    ASSERT_GE(log.statuses.size(), 3u);
    EXPECT_EQ(log.statuses[0], TIdStatus::hsResolving);
    EXPECT_EQ(log.statuses[1], TIdStatus::hsConnecting);
    EXPECT_EQ(log.statuses[2], TIdStatus::hsConnected);

    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
    ftp.MakeDir("XMLFTP");
    ftp.ChangeDir("XMLFTP");
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/XMLFTP");
    ftp.TransferType(TIdFTPTransferType::ftBinary);
    EXPECT_EQ(ftp.SendCmd("NOOP", {200}), 200);

    const std::string body = FtpTest::patternBytes(70000);
    std::istringstream in(body);
    ftp.Put(in, "nota.xml", false);
    EXPECT_EQ(ftp.Size("nota.xml"), 70000);
    EXPECT_EQ(FtpTest::readFile(root() + "/XMLFTP/nota.xml"), body);

    std::istringstream more("tail");
    ftp.Put(more, "nota.xml", true);
    EXPECT_EQ(ftp.Size("nota.xml"), 70004);

    std::vector<std::string> lines;
    ftp.List(lines);
    ASSERT_EQ(lines.size(), 1u);
    // MS-DOS style: date, time, size, name
    EXPECT_NE(lines[0].find("70004 nota.xml"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[0].find('\r'), std::string::npos);

    std::ostringstream out;
    ftp.Get("nota.xml", out);
    EXPECT_EQ(out.str(), body + "tail");

    ftp.Get("nota.xml", local("copia.xml"), false);
    EXPECT_EQ(FtpTest::readFile(local("copia.xml")), body + "tail");
    FtpTest::writeFile(local("copia.xml"), "minha versão");
    EXPECT_THROW(ftp.Get("nota.xml", local("copia.xml"), false), Platform::LocalFileError);
    EXPECT_EQ(FtpTest::readFile(local("copia.xml")), "minha versão");
    ftp.Get("nota.xml", local("copia.xml"), true);
    EXPECT_EQ(FtpTest::readFile(local("copia.xml")), body + "tail");

    ftp.Put(local("copia.xml"), "de arquivo.xml", false);
    EXPECT_EQ(FtpTest::readFile(root() + "/XMLFTP/de arquivo.xml"), body + "tail");

    ftp.Delete("nota.xml");
    ftp.Delete("de arquivo.xml");
    ftp.List(lines);
    EXPECT_TRUE(lines.empty());
    ftp.ChangeDir("..");
    ftp.RemoveDir("XMLFTP");
    EXPECT_FALSE(std::filesystem::exists(root() + "/XMLFTP"));

    ftp.Quit();
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(log.statuses.back(), TIdStatus::hsDisconnected);
    EXPECT_NO_THROW(ftp.Quit());
    EXPECT_THROW(ftp.RetrieveCurrentDir(), FtpConnectionLost);
}

TEST_F(FtpServerTest, RefusedCommandsRaiseWithServerTextAndKeepTheSession)
{
    serve("127.21.0.2");
    ftp.Connect();
    try {
        ftp.ChangeDir("não existe");
        FAIL() << "CWD to a missing directory succeeded";
    } catch (const FtpConnectionLost&) {
        FAIL() << "a refusal is not a lost connection";
    } catch (const FtpError& e) {
        EXPECT_EQ(e.ReplyCode(), 550);
        EXPECT_NE(std::string(e.what()).find("550"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ftp.Size("nada.xml"), FtpError);
    EXPECT_THROW(ftp.Delete("nada.xml"), FtpError);
    EXPECT_THROW(ftp.RemoveDir("nada"), FtpError);
    std::ostringstream out;
    EXPECT_THROW(ftp.Get("nada.xml", out), FtpError);
    EXPECT_THROW(ftp.Put(local("não há.xml"), "x.xml", false), FtpError);
    EXPECT_THROW(ftp.SendCmd("XYZZY", {200}), FtpError);
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
}

TEST_F(FtpServerTest, Cp1252NamesTravelBothWays)
{
    serve("127.21.0.3", true);
    ftp.Connect();
    ftp.ChangeDir("/XMLFTP/Organização 12");
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/XMLFTP/Organização 12");
    ftp.ChangeDir("..");
    EXPECT_TRUE(listed("Organização 12"));

    ftp.MakeDir("Relatórios ação ÿ");
    EXPECT_TRUE(std::filesystem::is_directory(root() + "/XMLFTP/Relatórios ação ÿ"));
    ftp.ChangeDir("Relatórios ação ÿ");
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/XMLFTP/Relatórios ação ÿ");

    std::istringstream in("<NFe/>");
    ftp.Put(in, "Nota de devolução nº 5 – €.xml", false);
    EXPECT_EQ(FtpTest::readFile(root() + "/XMLFTP/Relatórios ação ÿ/Nota de devolução nº 5 – €.xml"), "<NFe/>");
    EXPECT_TRUE(listed("Nota de devolução nº 5 – €.xml"));
    std::ostringstream out;
    ftp.Get("Nota de devolução nº 5 – €.xml", out);
    EXPECT_EQ(out.str(), "<NFe/>");

    // Not in CP1252: refused before anything is sent, the session is untouched.
    const std::string before = ftp.LastReply();
    try {
        ftp.MakeDir("nota 名.xml");
        FAIL() << "a name outside CP1252 was accepted";
    } catch (const FtpError& e) {
        EXPECT_NE(std::string(e.what()).find("名"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ftp.LastReply(), before);
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/XMLFTP/Relatórios ação ÿ");
}

TEST_F(FtpServerTest, SeededStoreListsInMsDosStyle)
{
    serve("127.21.0.4", true);
    ftp.Connect();
    std::vector<std::string> lines;
    ftp.List(lines);
    std::vector<std::string> names;
    for (const auto& l : lines) {
        EXPECT_NE(l.find("<DIR>"), std::string::npos) << l;
        names.push_back(l.substr(l.find_last_of(' ') + 1));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"EXEFTP", "RELFTP", "TMPFTP", "XMLFTP"}));
    ftp.ChangeDir("/XMLFTP/Organização 12/202307");
    ftp.List(lines);
    ASSERT_FALSE(lines.empty());
    for (const auto& l : lines)
        EXPECT_EQ(l.size() - l.find_last_of(' ') - 1, std::string("-nfe.xml").size() + 44) << l;
}

// Active mode by EPRT and its PORT fallback; passive by EPSV and its PASV fallback.
struct ModeCase {
    const char* host;
    bool passive;
    const char* disabled;
};

void PrintTo(const ModeCase& c, std::ostream* os)
{
    *os << (c.passive ? "passive" : "active") << (c.disabled[0] ? " without " : "") << c.disabled;
}

class FtpDataModeTest : public FtpServerTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(FtpDataModeTest, ListsAndTransfers)
{
    serve(GetParam().host, false, GetParam().disabled);
    ftp.Passive = GetParam().passive;
    ftp.Connect();
    ftp.TransferType(TIdFTPTransferType::ftBinary);
    const std::string body = FtpTest::patternBytes(600000, 7);
    for (int round = 0; round < 2; ++round) { // the second round uses the remembered fallback
        std::istringstream in(body);
        ftp.Put(in, "modo.bin", false);
        std::ostringstream out;
        ftp.Get("modo.bin", out);
        EXPECT_EQ(out.str(), body);
        EXPECT_TRUE(listed("modo.bin"));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpDataModeTest,
                         ::testing::Values(ModeCase{"127.21.0.5", false, ""}, ModeCase{"127.21.0.6", false, "EPRT"},
                                           ModeCase{"127.21.0.7", true, ""}, ModeCase{"127.21.0.8", true, "EPSV"}),
                         [](const auto& info) {
                             std::string name = info.param.passive ? "Passive" : "Active";
                             return name + (info.param.disabled[0] ? "Fallback" : "Extended");
                         });

TEST_F(FtpServerTest, HundredMegabytesAreByteExactBothWays)
{
    serve("127.21.0.9");
    const std::size_t size = 100u * 1024 * 1024;
    FtpTest::writeFile(local("grande.bin"), FtpTest::patternBytes(size, 3));
    ftp.Connect();
    ftp.TransferType(TIdFTPTransferType::ftBinary);

    EventLog up;
    up.attach(ftp);
    ftp.Put(local("grande.bin"), "grande.bin", false);
    ASSERT_EQ(up.begins, std::vector<std::int64_t>{static_cast<std::int64_t>(size)});
    EXPECT_EQ(up.counts.size(), size / (256 * 1024));
    EXPECT_TRUE(std::is_sorted(up.counts.begin(), up.counts.end()));
    EXPECT_EQ(up.counts.back(), static_cast<std::int64_t>(size));
    EXPECT_EQ(up.ends, 1);
    EXPECT_TRUE(up.saw(TIdStatus::ftpTransfer));
    EXPECT_TRUE(up.saw(TIdStatus::ftpReady));
    EXPECT_TRUE(FtpTest::readFile(root() + "/grande.bin") == FtpTest::readFile(local("grande.bin")));

    EventLog down;
    down.attach(ftp);
    EXPECT_EQ(ftp.Size("grande.bin"), static_cast<std::int64_t>(size));
    ftp.Get("grande.bin", local("volta.bin"), true);
    ASSERT_EQ(down.begins, std::vector<std::int64_t>{0});
    EXPECT_EQ(down.counts.back(), static_cast<std::int64_t>(size));
    EXPECT_EQ(down.ends, 1);
    EXPECT_TRUE(FtpTest::readFile(local("volta.bin")) == FtpTest::readFile(local("grande.bin")));
}

TEST_F(FtpServerTest, AnUploadFromAFileTheKernelCannotSendFromIsReadInstead)
{
    // A pipe behind a path: sendfile refuses it at once, so every byte goes through reads.
    serve("127.21.0.15");
    const std::string bytes = FtpTest::patternBytes(700u * 1024, 5);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::thread writer([&] {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t n = ::write(ends[1], bytes.data() + at, bytes.size() - at);
            if (n <= 0)
                break;
            at += static_cast<std::size_t>(n);
        }
        ::close(ends[1]);
    });
    ftp.Connect();
    ftp.TransferType(TIdFTPTransferType::ftBinary);
    EventLog up;
    up.attach(ftp);
    ftp.Put("/proc/self/fd/" + std::to_string(ends[0]), "canal.bin", false);
    writer.join();
    ::close(ends[0]);
    EXPECT_TRUE(FtpTest::readFile(root() + "/canal.bin") == bytes);
    EXPECT_EQ(up.counts.back(), static_cast<std::int64_t>(bytes.size()));
}

TEST_F(FtpServerTest, ALocalFileThatCannotBeWrittenStopsTheDownloadAndKeepsTheSession)
{
    serve("127.21.0.14");
    const std::string bytes = FtpTest::patternBytes(6u * 1024 * 1024, 9);
    FtpTest::writeFile(root() + "/nota.bin", bytes);
    ftp.Connect();
    ftp.TransferType(TIdFTPTransferType::ftBinary);
    {
        // The file may grow to 1 MiB only: writes past it fail (EFBIG) in the middle of the data.
        struct FileSizeLimit {
            rlimit saved{};
            void (*oldHandler)(int) = ::signal(SIGXFSZ, SIG_IGN);
            FileSizeLimit()
            {
                ::getrlimit(RLIMIT_FSIZE, &saved);
                rlimit small = saved;
                small.rlim_cur = 1024 * 1024;
                ::setrlimit(RLIMIT_FSIZE, &small);
            }
            ~FileSizeLimit()
            {
                ::setrlimit(RLIMIT_FSIZE, &saved);
                ::signal(SIGXFSZ, oldHandler);
            }
        } limit;
        try {
            ftp.Get("nota.bin", local("nota.bin"), true);
            FAIL() << "a download that could not be written was reported as done";
        } catch (const Platform::LocalFileError& e) {
            EXPECT_NE(std::string(e.what()).find("Falha ao gravar o arquivo local"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");  // the session is still in step
    ftp.Get("nota.bin", local("nota.bin"), true);
    EXPECT_TRUE(FtpTest::readFile(local("nota.bin")) == bytes);
}

// A download's disk room is taken before RETR: what the disk cannot hold is refused before a byte
// moves, and no reserved block outlives the download, whole or short.
TEST_F(FtpServerTest, ADownloadTakesItsRoomFirstAndKeepsNoneItDidNotFill)
{
    {
        const int probe = ::open(local("sonda").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const bool reserves = probe >= 0 && ::fallocate(probe, FALLOC_FL_KEEP_SIZE, 0, 1 << 20) == 0;
        ::close(probe);
        if (!reserves)
            GTEST_SKIP() << "the scratch filesystem cannot reserve room";
    }
    serve("127.21.0.16");
    const std::int64_t size = 6 * 1024 * 1024;
    FtpTest::writeFile(root() + "/nota.bin", FtpTest::patternBytes(static_cast<std::size_t>(size), 4));
    // Larger than any disk here holds; sparse on the server's side.
    FtpTest::writeFile(root() + "/enorme.bin", "");
    std::filesystem::resize_file(root() + "/enorme.bin", std::uintmax_t{8} << 40);
    const auto allocated = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return static_cast<std::int64_t>(st.st_blocks) * 512;
    };
    ftp.Connect();
    ftp.TransferType(TIdFTPTransferType::ftBinary);

    // A filesystem may keep a block or two of its own past the data, not the 64 MiB announced.
    ftp.Get("nota.bin", local("inteira.bin"), true, size);
    EXPECT_LT(allocated(local("inteira.bin")), size + (1 << 20));

    EXPECT_THROW(ftp.Get("nota.bin", local("curta.bin"), true, size + (64 << 20)), FtpError);
    EXPECT_EQ(std::filesystem::file_size(local("curta.bin")), static_cast<std::uintmax_t>(size));
    EXPECT_LT(allocated(local("curta.bin")), size + (1 << 20));

    EventLog log;
    log.attach(ftp);
    try {
        ftp.Get("enorme.bin", local("enorme.bin"), true, ftp.Size("enorme.bin"));
        FAIL() << "a file larger than the disk was taken on";
    } catch (const Platform::LocalFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Falha ao gravar o arquivo local \"" + local("enorme.bin") + "\": ", 0), 0u)
            << e.what();
    }
    EXPECT_TRUE(log.begins.empty());  // RETR was never sent
    EXPECT_EQ(std::filesystem::file_size(local("enorme.bin")), 0u);
    EXPECT_EQ(allocated(local("enorme.bin")), 0);
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
}

TEST_F(FtpServerTest, AbortInTheMiddleOfATransferKeepsTheSessionInStep)
{
    serve("127.21.0.10");
    FtpTest::writeFile(root() + "/grande.bin", FtpTest::patternBytes(64u * 1024 * 1024, 5));
    ftp.Connect();
    ftp.TransferType(TIdFTPTransferType::ftBinary);

    EXPECT_NO_THROW(ftp.Abort()); // nothing runs: nothing happens
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");

    EventLog log;
    log.attach(ftp);
    ftp.OnWork = [&](TWorkMode, std::int64_t count) {
        log.counts.push_back(count);
        if (log.counts.size() == 2) {
            ftp.Abort();
            ftp.KillDataChannel();
        }
    };
    std::ostringstream out;
    EXPECT_THROW(ftp.Get("grande.bin", out), FtpAborted);
    EXPECT_EQ(log.counts.size(), 2u);
    EXPECT_EQ(log.ends, 1);
    EXPECT_TRUE(log.saw(TIdStatus::ftpAborted));
    EXPECT_TRUE(ftp.Connected());
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
    EXPECT_EQ(ftp.Size("grande.bin"), 64 * 1024 * 1024);

    // An aborted upload too; afterwards a whole transfer still works.
    log = EventLog{};
    log.attach(ftp);
    ftp.OnWork = [&](TWorkMode, std::int64_t) {
        ftp.Abort();
        ftp.KillDataChannel();
    };
    EXPECT_THROW(ftp.Put(root() + "/grande.bin", "parcial.bin", false), FtpAborted);
    EXPECT_EQ(log.ends, 1);
    ftp.OnWork = nullptr;
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
    std::istringstream in("inteiro");
    ftp.Put(in, "depois.txt", false);
    EXPECT_EQ(FtpTest::readFile(root() + "/depois.txt"), "inteiro");
}

// Loopback socket buffers take megabytes at once: the last block is "sent" long before a slow server
// has read it. A stop asked during that wait still aborts, and the session stays in step.
TEST_F(FtpServerTest, AbortIsHeardWhileASlowServerDrainsAnUpload)
{
    serve("127.21.0.13", false, {}, 1'000'000);
    constexpr std::size_t size = 6u * 1024 * 1024;
    FtpTest::writeFile(local("lento.bin"), FtpTest::patternBytes(size, 7));
    ftp.Connect();
    ftp.TransferType(TIdFTPTransferType::ftBinary);
    EventLog log;
    log.attach(ftp);
    std::optional<std::chrono::steady_clock::time_point> allSent;
    ftp.OnWork = [&](TWorkMode, std::int64_t count) {
        log.counts.push_back(count);
        if (count != static_cast<std::int64_t>(size))
            return;
        if (!allSent) {
            allSent = std::chrono::steady_clock::now();
        } else {
            ftp.Abort();
            ftp.KillDataChannel();
        }
    };
    try {
        ftp.Put(local("lento.bin"), "lento.bin", false);
        // Only a server that had nearly everything already may answer before the first repeat.
        ASSERT_TRUE(allSent);
        EXPECT_LT(std::chrono::steady_clock::now() - *allSent, std::chrono::milliseconds(500))
            << "the client waited for the server without a work event";
        return;
    } catch (const FtpAborted&) {
    }
    EXPECT_LT(std::chrono::steady_clock::now() - *allSent, std::chrono::seconds(1)); // not the whole drain
    EXPECT_EQ(log.ends, 1);
    EXPECT_TRUE(log.saw(TIdStatus::ftpAborted));
    ftp.OnWork = nullptr;
    EXPECT_EQ(ftp.RetrieveCurrentDir(), "/");
    // Little data waits unsent on our side, so by the time every byte is handed over the server may
    // have read it all: the abort must be heard, not necessarily cut the file short.
    EXPECT_LE(ftp.Size("lento.bin"), static_cast<std::int64_t>(size));
}

TEST_F(FtpServerTest, RefusedLoginNeverShowsThePassword)
{
    serve("127.21.0.11");
    EventLog log;
    log.attach(ftp);
    ftp.Password = "Senha-Errada#99";
    try {
        ftp.Connect();
        FAIL() << "login with a wrong password succeeded";
    } catch (const FtpError& e) {
        EXPECT_EQ(e.ReplyCode(), 530);
        EXPECT_EQ(std::string(e.what()).find("Senha-Errada#99"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(ftp.Connected());
    EXPECT_EQ(log.statuses.back(), TIdStatus::hsDisconnected);

    ftp.Password = "linha\r\nDELE x";
    try {
        ftp.Connect();
        FAIL() << "a password with a line break was sent";
    } catch (const FtpError& e) {
        EXPECT_EQ(std::string(e.what()).find("DELE"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(FtpServerTest, ConnectToNothingFailsClearly)
{
    ftp.Host = "127.21.0.12"; // no server there
    ftp.ConnectTimeout = std::chrono::milliseconds(2000);
    EXPECT_THROW(ftp.Connect(), FtpError);
    EXPECT_FALSE(ftp.Connected());
    EXPECT_NO_THROW(ftp.Disconnect());
    EXPECT_NO_THROW(ftp.Quit());
}

} // namespace
