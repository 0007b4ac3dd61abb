// The HTTP client against the real gateway (large bodies byte for byte, work events, errors,
// cancellation) and against a scripted peer that misbehaves.
#include "tests/support/gateway_store.h"

#include "platform/http/id_http.h"

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <regex>
#include <filesystem>
#include <sstream>
#include <thread>

using namespace GatewayTest;
using Platform::HttpCancelled;
using Platform::HttpError;
using Platform::TIdHTTP;
using Platform::TWorkMode;
namespace fs = std::filesystem;

namespace {

// Polls for a condition that another process brings about, for at most 20 seconds.
bool eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 2000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

constexpr std::size_t largeSize = 24 * 1024 * 1024 + 123; // not a whole number of blocks

struct WorkLog {
    std::vector<std::pair<TWorkMode, std::int64_t>> begins, works;
    std::vector<TWorkMode> ends;

    void attach(TIdHTTP& client)
    {
        client.OnWorkBegin = [this](TWorkMode mode, std::int64_t expected) { begins.emplace_back(mode, expected); };
        client.OnWork = [this](TWorkMode mode, std::int64_t count) { works.emplace_back(mode, count); };
        client.OnWorkEnd = [this](TWorkMode mode) { ends.push_back(mode); };
    }

    void expectWholeTransfer(TWorkMode mode, std::int64_t size) const
    {
        ASSERT_EQ(begins.size(), 1u);
        EXPECT_EQ(begins[0], std::make_pair(mode, size));
        ASSERT_FALSE(works.empty());
        std::int64_t previous = 0;
        for (const auto& [workMode, count] : works) {
            EXPECT_EQ(workMode, mode);
            EXPECT_GT(count, previous);
            EXPECT_LE(count - previous, 256 * 1024);
            previous = count;
        }
        EXPECT_EQ(previous, size);
        EXPECT_EQ(ends, std::vector<TWorkMode>{mode});
    }
};

class HttpClientOnGateway : public ::testing::Test {
protected:
    HttpClientOnGateway()
    {
        client.Username = "gw";
        client.Password = "senha";
        log.attach(client);
    }
    std::string u(const std::string& endpoint, const std::map<std::string, std::string>& query)
    {
        return url(base, endpoint, query);
    }

    Store store;
    TestSupport::TempDir local;
    TestSupport::GatewayProcess gateway{store.root, "gw", "senha", "", "", "127.0.33.3"};
    std::string base = "http://127.0.33.3:" + std::to_string(gateway.port());
    TIdHTTP client;
    WorkLog log;
};

// A peer on loopback that answers the first request with a scripted reply and then, when asked,
// keeps the connection open without a word.
class ScriptedPeer {
public:
    ScriptedPeer(const std::string& host, std::string reply, bool stallAfterwards)
        : socket_(Poco::Net::SocketAddress(host, 0)), reply_(std::move(reply)), stall_(stallAfterwards)
    {
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedPeer()
    {
        done_ = true;
        thread_.join();
    }
    int port() const { return socket_.address().port(); }
    // The request head as received (complete once the reply has reached the client).
    std::string request() const
    {
        std::lock_guard lock(mutex_);
        return request_;
    }

private:
    void serve()
    {
        if (!socket_.poll(Poco::Timespan(20, 0), Poco::Net::Socket::SELECT_READ))
            return;
        Poco::Net::StreamSocket peer = socket_.acceptConnection();
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const int got = peer.receiveBytes(buffer, sizeof buffer);
            if (got <= 0)
                return;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        {
            std::lock_guard lock(mutex_);
            request_ = request;
        }
        peer.sendBytes(reply_.data(), static_cast<int>(reply_.size()));
        while (stall_ && !done_)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        peer.close();
    }

    Poco::Net::ServerSocket socket_;
    std::string reply_;
    bool stall_;
    std::atomic<bool> done_{false};
    mutable std::mutex mutex_;
    std::string request_;
    std::thread thread_;
};

} // namespace

TEST_F(HttpClientOnGateway, LargeDownloadIsByteExactWithWorkEvents)
{
    const std::string content = patternBytes(largeSize);
    writeFile(store.root + "/grande.bin", content);
    std::ostringstream out;
    client.Get(u("file", {{"dir", "/"}, {"name", "grande.bin"}}), out);
    EXPECT_TRUE(out.str() == content) << "downloaded bytes differ";
    log.expectWholeTransfer(TWorkMode::wmRead, static_cast<std::int64_t>(largeSize));
}

TEST_F(HttpClientOnGateway, LargeUploadIsByteExactWithWorkEvents)
{
    const std::string content = patternBytes(largeSize);
    writeFile(local.path() + "/grande.bin", content);
    client.PostFile(u("file", {{"dir", "/"}, {"name", "grande.bin"}}), "file", local.path() + "/grande.bin");
    EXPECT_TRUE(readFile(store.root + "/grande.bin") == content) << "uploaded bytes differ";
    log.expectWholeTransfer(TWorkMode::wmWrite, static_cast<std::int64_t>(largeSize));
}

TEST_F(HttpClientOnGateway, ErrorStatusCarriesTheServersText)
{
    try {
        client.Get(u("file", {{"dir", "/"}, {"name", "nada.xml"}}));
        FAIL() << "404 must raise";
    } catch (const HttpError& e) {
        EXPECT_EQ(e.StatusCode(), 404);
        EXPECT_EQ(std::string(e.what()), "Não encontrado: /nada.xml");
    }
    EXPECT_TRUE(log.begins.empty()) << "an error reply is no transfer";
    // The kept-alive connection still works after an error.
    writeFile(store.root + "/a.xml", "a");
    EXPECT_EQ(client.Get(u("file", {{"dir", "/"}, {"name", "a.xml"}})), "a");
    EXPECT_THROW(client.PostFile(u("file", {{"dir", "/"}, {"name", "x"}}), "file", local.path() + "/missing.xml"), std::runtime_error);
    EXPECT_THROW(client.Get("ftp://127.0.33.3/x"), std::runtime_error);
}

TEST_F(HttpClientOnGateway, CancelStopsAtTheNextBlockAndLeavesNoPartialUpload)
{
    const std::string content = patternBytes(largeSize);
    writeFile(store.root + "/grande.bin", content);
    writeFile(local.path() + "/grande.bin", content);
    fs::create_directory(store.root + "/sub");
    client.OnWork = [this](TWorkMode, std::int64_t count) {
        if (count >= 1024 * 1024)
            client.Cancel();
    };
    std::ostringstream out;
    EXPECT_THROW(client.Get(u("file", {{"dir", "/"}, {"name", "grande.bin"}}), out), std::runtime_error);
    EXPECT_LT(out.str().size(), content.size());
    EXPECT_THROW(client.PostFile(u("file", {{"dir", "/sub"}, {"name", "parcial.bin"}}), "file", local.path() + "/grande.bin"), std::runtime_error);
    EXPECT_EQ(log.ends, (std::vector<TWorkMode>{TWorkMode::wmRead, TWorkMode::wmWrite}));

    // The gateway drops the unfinished upload (once it has noticed the closed connection); the
    // client can carry on.
    client.OnWork = nullptr;
    EXPECT_EQ(client.Get(u("list", {{"dir", "/sub"}})), "");
    EXPECT_TRUE(eventually([&] { return fs::is_empty(store.root + "/sub"); })) << "a partial upload was left behind";
}

TEST(HttpClientFaults, DeadTruncatedAndSilentPeers)
{
    // Nothing listening: a connection error, not an HTTP status.
    int deadPort = 0;
    {
        Poco::Net::ServerSocket socket(Poco::Net::SocketAddress("127.0.33.4", 0));
        deadPort = socket.address().port();
    }
    WorkLog log; // outlives the client's use of it
    TIdHTTP client;
    client.ReadTimeout = std::chrono::milliseconds(500);
    try {
        client.Get("http://127.0.33.4:" + std::to_string(deadPort) + "/gw/list");
        ADD_FAILURE() << "a dead server must raise";
    } catch (const HttpError&) {
        ADD_FAILURE() << "a dead server is no HTTP reply";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "erro de comunicação com o servidor HTTP 127.0.33.4:" + std::to_string(deadPort) + ": conexão recusada");
    }

    {
        // Content-Length promises more than arrives before the peer closes.
        ScriptedPeer peer("127.0.33.4", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly this", false);
        log.attach(client);
        std::ostringstream out;
        try {
            client.Get("http://127.0.33.4:" + std::to_string(peer.port()) + "/gw/file", out);
            ADD_FAILURE() << "a short body must raise";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "recebidos 9 de 1000 bytes");
        }
        EXPECT_EQ(log.ends.size(), 1u);
    }
    {
        // Headers, then silence: the read time-out ends the wait.
        ScriptedPeer peer("127.0.33.4", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nabc", true);
        EXPECT_THROW(client.Get("http://127.0.33.4:" + std::to_string(peer.port()) + "/gw/file"), std::runtime_error);
    }
    {
        // No reply at all.
        ScriptedPeer peer("127.0.33.4", "", true);
        EXPECT_THROW(client.Get("http://127.0.33.4:" + std::to_string(peer.port()) + "/gw/list"), std::runtime_error);
    }
}

TEST(HttpClientFaults, BodyLongerThanContentLengthFailsAndNothingBeyondIsWritten)
{
    // One surplus small enough to arrive with the head, one that arrives behind a large body.
    const std::string large = patternBytes(300000);
    for (const auto& [length, body] : {std::pair<std::size_t, std::string>{5, "0123456789"}, {large.size() - 10, large}}) {
        ScriptedPeer peer("127.0.33.5", "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n" + body, true);
        TIdHTTP client;
        WorkLog log;
        log.attach(client);
        std::ostringstream out;
        try {
            client.Get("http://127.0.33.5:" + std::to_string(peer.port()) + "/gw/file", out);
            ADD_FAILURE() << "a body beyond its Content-Length must raise";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "recebidos " + std::to_string(body.size()) + " de " + std::to_string(length) + " bytes");
        }
        EXPECT_TRUE(out.str() == body.substr(0, length)) << out.str().size();
        EXPECT_EQ(log.ends.size(), 1u);
        // The request named our program.
        EXPECT_TRUE(std::regex_search(peer.request(), std::regex("\r\nUser-Agent: VOP31600/[0-9]+\\.[0-9]+\\.[0-9]+\r\n")))
            << peer.request();
    }
}

TEST(HttpClientFaults, StopRequestEndsABlockedReadOrSendAtOnce)
{
    // The peers stall for ever: after a head and part of a body, or without reading an upload.
    TestSupport::TempDir local;
    writeFile(local.path() + "/grande.bin", patternBytes(largeSize));
    const std::string stalledDownload = "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\nabc";
    for (const bool upload : {false, true}) {
        ScriptedPeer peer("127.0.33.6", upload ? "" : stalledDownload, true);
        const std::string url = "http://127.0.33.6:" + std::to_string(peer.port()) + "/gw/file";
        TIdHTTP client;
        std::atomic<bool> stop{false};
        std::atomic<bool> blocked{false};
        client.StopRequested = [&] { return stop.load(); };
        client.OnWork = [&](TWorkMode, std::int64_t) { blocked = true; };
        std::chrono::steady_clock::time_point stoppedAt;
        std::thread aborter([&] {
            // The upload fills the socket's buffers with its first blocks, then blocks in a send.
            if (upload)
                eventually([&] { return blocked.load(); });
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stoppedAt = std::chrono::steady_clock::now();
            stop = true;
        });
        try {
            if (upload)
                client.PostFile(url, "file", local.path() + "/grande.bin");
            else
                client.Get(url);
            ADD_FAILURE() << "a stop request must raise";
        } catch (const HttpCancelled& e) {
            EXPECT_FALSE(e.RequestSent());
            EXPECT_EQ(std::string(e.what()), "transferência cancelada");
        }
        const auto taken = std::chrono::steady_clock::now() - stoppedAt;
        aborter.join();
        EXPECT_LT(taken, std::chrono::milliseconds(200)) << (upload ? "upload" : "download");
    }
}
