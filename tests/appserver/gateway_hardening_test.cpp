// The gateway under hostile clients: idle and trickling connections, refusals decided from the
// request head alone, names that would forge listing lines, uploads cut short.
#include "tests/support/gateway_store.h"

#include "platform/http/id_http.h"

#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace GatewayTest;
using Platform::HttpError;
using Platform::TIdHTTP;
using TestSupport::rawExchange;
namespace fs = std::filesystem;

namespace {

const std::string host = "127.0.33.3";
const std::string auth = "Authorization: Basic Z3c6c2VuaGE=\r\n"; // gw:senha
using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// True when the server ended the connection (end of stream or reset) within timeoutMs.
bool endedWithin(Poco::Net::StreamSocket& socket, int timeoutMs)
{
    if (!socket.poll(Poco::Timespan(timeoutMs * 1000L), Poco::Net::Socket::SELECT_READ))
        return false;
    char byte;
    try {
        return socket.receiveBytes(&byte, 1) == 0;
    } catch (const Poco::Exception&) {
        return true;
    }
}

std::string multipart(const std::string& content)
{
    return "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"f.xml\"\r\n\r\n" + content + "\r\n--B--\r\n";
}

std::string uploadHead(const std::string& name, const std::string& length)
{
    return "POST /gw/file?dir=/&name=" + name + " HTTP/1.1\r\nHost: x\r\n" + auth +
        "Content-Type: multipart/form-data; boundary=B\r\n" + length + "\r\n";
}

class GatewayHardening : public ::testing::Test {
protected:
    GatewayHardening()
    {
        writeFile(store.root + "/real.xml", "antiga");
        client.Username = "gw";
        client.Password = "senha";
    }

    std::vector<std::string> storeNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(store.root))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    int status(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const HttpError& e) {
            message = e.what();
            return e.StatusCode();
        }
        return 200;
    }

    Store store;
    TestSupport::GatewayProcess gateway{store.root, "gw", "senha", "", "", host,
        {"--header-timeout-ms", "1500", "--max-upload-bytes", "100000"}};
    std::string base = "http://" + host + ":" + std::to_string(gateway.port());
    Poco::Net::SocketAddress address{host, static_cast<Poco::UInt16>(gateway.port())};
    TIdHTTP client;
    std::string message;
};

} // namespace

TEST_F(GatewayHardening, IdleAndTricklingClientsDoNotStarveOthers)
{
    std::vector<Poco::Net::StreamSocket> idle;
    for (int i = 0; i < 100; ++i)
        idle.emplace_back(address);
    // One byte of a never-ending head every 100 ms: never quiet long enough for a per-read time-out.
    Poco::Net::StreamSocket trickler(address);
    const auto trickleStart = Clock::now();
    std::atomic<bool> done{false};
    std::thread trickle([&] {
        const std::string head = "GET /gw/list?dir=/ HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(1000, 'a');
        for (std::size_t i = 0; i < head.size() && !done; ++i) {
            try {
                trickler.sendBytes(&head[i], 1);
            } catch (const Poco::Exception&) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    const auto start = Clock::now();
    EXPECT_NE(client.Get(url(base, "list", {{"dir", "/"}})).find("real.xml"), std::string::npos);
    EXPECT_NE(client.Get(url(base, "file", {{"dir", "/"}, {"name", "real.xml"}})), ""); // keep-alive holds
    EXPECT_LT(since(start), 1.0);

    EXPECT_TRUE(endedWithin(trickler, 4000)) << "a trickled head ends at its deadline";
    EXPECT_GT(since(trickleStart), 1.2);
    EXPECT_LT(since(trickleStart), 3.5);
    EXPECT_TRUE(endedWithin(idle.front(), 1000));
    EXPECT_TRUE(endedWithin(idle.back(), 1000));
    done = true;
    trickle.join();
}

TEST_F(GatewayHardening, RefusalsComeFromTheHeadAloneAndEndTheConnection)
{
    // Without credentials, 1 GiB announced and a few bytes sent: 401 at once.
    auto reply = rawExchange(host, gateway.port(),
        "POST /gw/file?dir=/&name=a.xml HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=B\r\n"
        "Content-Length: 1073741824\r\n\r\n--B\r\n");
    EXPECT_EQ(reply.status, 401);
    EXPECT_LT(reply.seconds, 1.0);
    EXPECT_TRUE(reply.closed);
    EXPECT_EQ(reply.body, "Autenticação necessária");

    reply = rawExchange(host, gateway.port(), "BREW /gw/list?dir=/ HTTP/1.1\r\nHost: x\r\n" + auth + "Content-Length: 100\r\n\r\nabc");
    EXPECT_EQ(reply.status, 405);
    EXPECT_NE(reply.head.find("Allow: GET, POST"), std::string::npos) << reply.head;
    EXPECT_TRUE(reply.closed);

    reply = rawExchange(host, gateway.port(), uploadHead("a.xml", "") + multipart("abc"));
    EXPECT_EQ(reply.status, 411);
    EXPECT_LT(reply.seconds, 1.0);
    EXPECT_TRUE(reply.closed);

    reply = rawExchange(host, gateway.port(), uploadHead("a.xml", "Content-Length: 100001\r\n") + "--B\r\n");
    EXPECT_EQ(reply.status, 413);
    EXPECT_LT(reply.seconds, 1.0);
    EXPECT_TRUE(reply.closed);

    // Chunked, so no length was announced: cut off at the limit.
    const std::string big = multipart(std::string(120000, 'x'));
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", big.size());
    reply = rawExchange(host, gateway.port(), uploadHead("a.xml", "Transfer-Encoding: chunked\r\n") + size + big + "\r\n0\r\n\r\n");
    EXPECT_EQ(reply.status, 413);
    EXPECT_TRUE(reply.closed);
    EXPECT_FALSE(fs::exists(store.root + "/a.xml"));

    // Refusals without a body keep the connection for the next request, and none echoes a body.
    Poco::Net::StreamSocket socket(address);
    reply = rawExchange(socket, "POST /gw/rename?dir=/ HTTP/1.1\r\nHost: x\r\n" + auth + "Content-Length: 12\r\n\r\nECO-DO-CORPO");
    EXPECT_EQ(reply.status, 404);
    EXPECT_EQ(reply.body.find("ECO-DO-CORPO"), std::string::npos);
    EXPECT_FALSE(reply.closed);
    reply = rawExchange(socket, uploadHead("b.xml", "Content-Length: " + std::to_string(multipart("nova").size()) + "\r\n") + multipart("nova"));
    EXPECT_EQ(reply.status, 201);
    EXPECT_EQ(readFile(store.root + "/b.xml"), "nova");
}

TEST_F(GatewayHardening, NamesWithControlCharactersOrOver255BytesAreRefused)
{
    TestSupport::TempDir local;
    writeFile(local.path() + "/f.xml", "forjado");
    const std::string forged = "real.xml\r\n01-15-24  03:45PM       <DIR>          FORGED";
    EXPECT_EQ(status([&] { client.PostFile(url(base, "file", {{"dir", "/"}, {"name", forged}}), "file", local.path() + "/f.xml"); }), 400);
    EXPECT_EQ(message, "Nome inválido: caracteres de controle não são permitidos");
    for (const std::string& name : std::vector<std::string>{"a\x01" "b", "a\x7f", "tab\there", std::string("nul\0x", 5), std::string(256, 'n')})
        EXPECT_EQ(status([&] { client.Post(url(base, "mkdir", {{"dir", "/"}, {"name", name}})); }), 400) << name.size();
    EXPECT_EQ(message, "Nome inválido: mais de 255 bytes");
    // Directory components arrive checked too.
    EXPECT_EQ(status([&] { client.Get(url(base, "cwd", {{"dir", "/"}, {"to", "x\ny"}})); }), 400);
    EXPECT_EQ(status([&] { client.Get(url(base, "list", {{"dir", "/x\r\n"}})); }), 400);
    EXPECT_EQ(status([&] { client.Get(url(base, "list", {{"dir", "/" + std::string(256, 'd')}})); }), 400);
    EXPECT_EQ(storeNames(), std::vector<std::string>{"real.xml"});
    // Such a name made on the disk (or through FTP) stays out of the listing.
    writeFile(store.root + "/" + forged, "x");
    EXPECT_EQ(client.Get(url(base, "list", {{"dir", "/"}})).find("FORGED"), std::string::npos);
    fs::remove(store.root + "/" + forged);

    client.Post(url(base, "mkdir", {{"dir", "/"}, {"name", std::string(255, 'n')}})); // the longest allowed
    EXPECT_TRUE(fs::is_directory(store.root + "/" + std::string(255, 'n')));
}

TEST_F(GatewayHardening, TruncatedUploadsAre400AndKeepTheOlderCopy)
{
    // The multipart framing ends inside the part's head.
    const std::string cutHead = "--B\r\nContent-Disposition: form";
    auto reply = rawExchange(host, gateway.port(), uploadHead("real.xml", "Content-Length: " + std::to_string(cutHead.size()) + "\r\n") + cutHead);
    EXPECT_EQ(reply.status, 400);
    EXPECT_EQ(reply.body.rfind("Envio incompleto", 0), 0u) << reply.body;

    // The client stops sending midway but still reads.
    {
        Poco::Net::StreamSocket socket(address);
        const std::string request = uploadHead("real.xml", "Content-Length: 50000\r\n") + multipart(std::string(5000, 'c')).substr(0, 4000);
        socket.sendBytes(request.data(), static_cast<int>(request.size()));
        socket.shutdownSend();
        reply = rawExchange(socket, "");
        EXPECT_EQ(reply.status, 400);
    }
    // The client vanishes midway.
    {
        Poco::Net::StreamSocket socket(address);
        const std::string request = uploadHead("novo.xml", "Content-Length: 50000\r\n") + multipart(std::string(5000, 'c')).substr(0, 4000);
        socket.sendBytes(request.data(), static_cast<int>(request.size()));
        socket.close();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(storeNames(), std::vector<std::string>{"real.xml"}); // no file, no temporary left
    EXPECT_EQ(readFile(store.root + "/real.xml"), "antiga");
}
