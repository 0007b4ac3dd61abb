// The gateway's endpoints over a real store: each one's success and its errors, credentials, TLS.
#include "tests/support/gateway_store.h"

#include "platform/http/id_http.h"

#include <Poco/Net/HTTPBasicCredentials.h>
#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/StreamCopier.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <regex>
#include <set>
#include <thread>

using namespace GatewayTest;
using Platform::HttpError;
using Platform::TIdHTTP;
namespace fs = std::filesystem;

namespace {

class GatewayContract : public ::testing::Test {
protected:
    GatewayContract()
    {
        fs::create_directories(store.root + "/XMLFTP/Organização 12");
        fs::create_directories(store.root + "/TMPFTP");
        writeFile(store.root + "/nota fiscal.xml", std::string(1234, 'x'));
        writeFile(store.root + "/XMLFTP/Organização 12/a+b.xml", "<nfe/>");
        client.Username = "gw";
        client.Password = "senha";
    }

    // The status and text of a refused request.
    template <typename Call>
    std::pair<int, std::string> refusal(Call call)
    {
        try {
            call();
        } catch (const HttpError& e) {
            return {e.StatusCode(), e.what()};
        }
        ADD_FAILURE() << "expected an HTTP error";
        return {0, {}};
    }

    std::string u(const std::string& endpoint, const std::map<std::string, std::string>& query = {})
    {
        return url(base, endpoint, query);
    }

    Store store;
    TestSupport::GatewayProcess gateway{store.root, "gw", "senha", "", "", "127.0.33.1"};
    std::string base = "http://127.0.33.1:" + std::to_string(gateway.port());
    TIdHTTP client;
};

} // namespace

TEST_F(GatewayContract, CwdResolvesAndRefusesMissingDirectories)
{
    EXPECT_EQ(client.Get(u("cwd", {{"dir", "/"}, {"to", "XMLFTP"}})), "/XMLFTP");
    EXPECT_EQ(client.Get(u("cwd", {{"dir", "/XMLFTP"}, {"to", "Organização 12"}})), "/XMLFTP/Organização 12");
    EXPECT_EQ(client.Get(u("cwd", {{"dir", "/XMLFTP/Organização 12"}, {"to", ".."}})), "/XMLFTP");
    EXPECT_EQ(client.Get(u("cwd", {{"dir", "/XMLFTP"}, {"to", "/TMPFTP/"}})), "/TMPFTP");
    EXPECT_EQ(client.Get(u("cwd", {{"dir", "/XMLFTP"}, {"to", "/"}})), "/");
    const auto missing = refusal([&] { client.Get(u("cwd", {{"dir", "/"}, {"to", "NAOHA"}})); });
    EXPECT_EQ(missing.first, 404);
    EXPECT_NE(missing.second.find("NAOHA"), std::string::npos) << missing.second;
    EXPECT_EQ(refusal([&] { client.Get(u("cwd", {{"dir", "/"}, {"to", "nota fiscal.xml"}})); }).first, 404);
    EXPECT_EQ(refusal([&] { client.Get(u("cwd", {{"dir", "/"}})); }).first, 400);
}

TEST_F(GatewayContract, ListingIsMsDosStyleInCp1252)
{
    writeFile(store.root + "/.vop-upload-abc123", "half an upload");
    const std::string listing = client.Get(u("list", {{"dir", "/"}}));
    const std::regex dir(R"(^\d\d-\d\d-\d\d  \d\d:\d\d(AM|PM) +<DIR> +(\S.*)$)");
    const std::regex file(R"(^\d\d-\d\d-\d\d  \d\d:\d\d(AM|PM) +(\d+) (\S.*)$)");
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < listing.size()) {
        const auto end = listing.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        lines.push_back(listing.substr(start, end - start));
        start = end + 2;
    }
    ASSERT_EQ(lines.size(), 3u) << listing; // the unfinished upload is not listed
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, dir)) << lines[0];
    EXPECT_EQ(match[2], "TMPFTP");
    ASSERT_TRUE(std::regex_match(lines[1], match, dir)) << lines[1];
    EXPECT_EQ(match[2], "XMLFTP");
    ASSERT_TRUE(std::regex_match(lines[2], match, file)) << lines[2];
    EXPECT_EQ(match[2], "1234");
    EXPECT_EQ(match[3], "nota fiscal.xml");

    const std::string inner = client.Get(u("list", {{"dir", "/XMLFTP"}}));
    EXPECT_NE(inner.find("Organiza\xE7\xE3o 12\r\n"), std::string::npos) << "names travel as CP1252";
    EXPECT_EQ(client.Get(u("list", {{"dir", "/TMPFTP"}})), "");
    EXPECT_EQ(refusal([&] { client.Get(u("list", {{"dir", "/NAOHA"}})); }).first, 404);
}

TEST_F(GatewayContract, DownloadCarriesContentLengthAndRefusesWhatIsNoFile)
{
    Poco::Net::HTTPClientSession session("127.0.33.1", static_cast<Poco::UInt16>(gateway.port()));
    Poco::Net::HTTPRequest request("GET", u("file", {{"dir", "/XMLFTP/Organização 12"}, {"name", "a+b.xml"}}).substr(base.size()),
        Poco::Net::HTTPMessage::HTTP_1_1);
    Poco::Net::HTTPBasicCredentials("gw", "senha").authenticate(request);
    session.sendRequest(request);
    Poco::Net::HTTPResponse response;
    std::string body;
    Poco::StreamCopier::copyToString(session.receiveResponse(response), body);
    EXPECT_EQ(response.getStatus(), 200);
    EXPECT_EQ(response.getContentLength64(), 6);
    EXPECT_EQ(body, "<nfe/>");

    EXPECT_EQ(client.Get(u("file", {{"dir", "/"}, {"name", "nota fiscal.xml"}})), std::string(1234, 'x'));
    const auto missing = refusal([&] { client.Get(u("file", {{"dir", "/"}, {"name", "nada.xml"}})); });
    EXPECT_EQ(missing.first, 404);
    EXPECT_NE(missing.second.find("nada.xml"), std::string::npos) << missing.second;
    EXPECT_EQ(refusal([&] { client.Get(u("file", {{"dir", "/"}, {"name", "XMLFTP"}})); }).first, 404);
    EXPECT_EQ(refusal([&] { client.Get(u("file", {{"dir", "/NAOHA"}, {"name", "x"}})); }).first, 404);
    EXPECT_EQ(refusal([&] { client.Get(u("file", {{"dir", "/"}})); }).first, 400);
}

TEST_F(GatewayContract, UploadStoresReplacesAndRefuses)
{
    TestSupport::TempDir local;
    writeFile(local.path() + "/nova nota.xml", "primeira");
    client.PostFile(u("file", {{"dir", "/XMLFTP/Organização 12"}, {"name", "nova nota.xml"}}), "file", local.path() + "/nova nota.xml");
    EXPECT_EQ(readFile(store.root + "/XMLFTP/Organização 12/nova nota.xml"), "primeira");
    writeFile(local.path() + "/nova nota.xml", "segunda, mais longa");
    client.PostFile(u("file", {{"dir", "/XMLFTP/Organização 12"}, {"name", "nova nota.xml"}}), "file", local.path() + "/nova nota.xml");
    EXPECT_EQ(readFile(store.root + "/XMLFTP/Organização 12/nova nota.xml"), "segunda, mais longa");

    const std::string source = local.path() + "/nova nota.xml";
    EXPECT_EQ(refusal([&] { client.PostFile(u("file", {{"dir", "/NAOHA"}, {"name", "x.xml"}}), "file", source); }).first, 404);
    EXPECT_EQ(refusal([&] { client.PostFile(u("file", {{"dir", "/"}, {"name", "XMLFTP"}}), "file", source); }).first, 409);
    EXPECT_EQ(refusal([&] { client.PostFile(u("file", {{"dir", "/"}, {"name", "y.xml"}}), "outro", source); }).first, 400);
    EXPECT_FALSE(fs::exists(store.root + "/y.xml"));
    // An empty file is a file too.
    writeFile(local.path() + "/vazio.xml", "");
    client.PostFile(u("file", {{"dir", "/"}, {"name", "vazio.xml"}}), "file", local.path() + "/vazio.xml");
    EXPECT_TRUE(fs::is_regular_file(store.root + "/vazio.xml"));
    for (const auto& entry : fs::recursive_directory_iterator(store.root))
        EXPECT_EQ(entry.path().filename().string().rfind(".vop-upload-", 0), std::string::npos) << entry.path();
}

TEST_F(GatewayContract, UploadCutShortLeavesNothing)
{
    {
        Poco::Net::StreamSocket socket(Poco::Net::SocketAddress("127.0.33.1", static_cast<Poco::UInt16>(gateway.port())));
        const std::string part = "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"c.xml\"\r\n\r\n" + std::string(5000, 'c');
        std::string request = "POST /gw/file?dir=/&name=cortado.xml HTTP/1.1\r\nHost: x\r\nAuthorization: Basic Z3c6c2VuaGE=\r\n"
                              "Content-Type: multipart/form-data; boundary=B\r\nContent-Length: 100000\r\n\r\n" + part;
        socket.sendBytes(request.data(), static_cast<int>(request.size()));
        socket.shutdownSend();
        char buffer[1024];
        while (socket.receiveBytes(buffer, sizeof buffer) > 0) {
        }
    }
    EXPECT_FALSE(fs::exists(store.root + "/cortado.xml"));
    for (const auto& entry : fs::directory_iterator(store.root))
        EXPECT_EQ(entry.path().filename().string().rfind(".vop-upload-", 0), std::string::npos) << entry.path();
}

TEST_F(GatewayContract, UploadStaysOutOfListingsUntilComplete)
{
    // The FTP server lists the same folder: while an upload is under way, the folder shows only what
    // was there, the older copy of the file included, and afterwards the new file under its name.
    const auto namesInStore = [&] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(store.root))
            names.insert(entry.path().filename().string());
        return names;
    };
    const auto before = namesInStore();
    const std::string data = patternBytes(300000);
    const std::string head = "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"n.xml\"\r\n\r\n";
    const std::string tail = "\r\n--B--\r\n";
    Poco::Net::StreamSocket socket(Poco::Net::SocketAddress("127.0.33.1", static_cast<Poco::UInt16>(gateway.port())));
    const std::string request = "POST /gw/file?dir=/&name=nota%20fiscal.xml HTTP/1.1\r\nHost: x\r\n"
                                "Authorization: Basic Z3c6c2VuaGE=\r\nContent-Type: multipart/form-data; boundary=B\r\n"
                                "Content-Length: " + std::to_string(head.size() + data.size() + tail.size()) + "\r\n\r\n" +
                                head + data.substr(0, 200000);
    socket.sendBytes(request.data(), static_cast<int>(request.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the gateway writes what it got
    EXPECT_EQ(namesInStore(), before);
    EXPECT_EQ(readFile(store.root + "/nota fiscal.xml"), std::string(1234, 'x'));

    const std::string rest = data.substr(200000) + tail;
    socket.sendBytes(rest.data(), static_cast<int>(rest.size()));
    char buffer[1024];
    const int got = socket.receiveBytes(buffer, sizeof buffer);
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)).rfind("HTTP/1.1 201", 0), 0u);
    EXPECT_EQ(readFile(store.root + "/nota fiscal.xml"), data);
    EXPECT_EQ(namesInStore(), before);
}

TEST_F(GatewayContract, DeleteAndMkdir)
{
    client.Post(u("mkdir", {{"dir", "/TMPFTP"}, {"name", "lote 1"}}));
    EXPECT_TRUE(fs::is_directory(store.root + "/TMPFTP/lote 1"));
    EXPECT_EQ(refusal([&] { client.Post(u("mkdir", {{"dir", "/TMPFTP"}, {"name", "lote 1"}})); }).first, 409);
    EXPECT_EQ(refusal([&] { client.Post(u("mkdir", {{"dir", "/"}, {"name", "nota fiscal.xml"}})); }).first, 409);
    EXPECT_EQ(refusal([&] { client.Post(u("mkdir", {{"dir", "/NAOHA"}, {"name", "x"}})); }).first, 404);

    writeFile(store.root + "/TMPFTP/lote 1/a.xml", "a");
    const auto notEmpty = refusal([&] { client.Post(u("delete", {{"dir", "/TMPFTP"}, {"name", "lote 1"}, {"kind", "dir"}})); });
    EXPECT_EQ(notEmpty.first, 409);
    EXPECT_FALSE(notEmpty.second.empty());
    EXPECT_EQ(refusal([&] { client.Post(u("delete", {{"dir", "/TMPFTP"}, {"name", "lote 1"}, {"kind", "file"}})); }).first, 409);
    EXPECT_EQ(refusal([&] { client.Post(u("delete", {{"dir", "/TMPFTP/lote 1"}, {"name", "a.xml"}, {"kind", "dir"}})); }).first, 409);
    EXPECT_EQ(refusal([&] { client.Post(u("delete", {{"dir", "/TMPFTP/lote 1"}, {"name", "a.xml"}, {"kind", "link"}})); }).first, 400);
    client.Post(u("delete", {{"dir", "/TMPFTP/lote 1"}, {"name", "a.xml"}, {"kind", "file"}}));
    EXPECT_FALSE(fs::exists(store.root + "/TMPFTP/lote 1/a.xml"));
    client.Post(u("delete", {{"dir", "/TMPFTP"}, {"name", "lote 1"}, {"kind", "dir"}}));
    EXPECT_FALSE(fs::exists(store.root + "/TMPFTP/lote 1"));
    EXPECT_EQ(refusal([&] { client.Post(u("delete", {{"dir", "/TMPFTP"}, {"name", "lote 1"}, {"kind", "dir"}})); }).first, 404);
    EXPECT_EQ(refusal([&] { client.Post(u("rename", {{"dir", "/"}})); }).first, 404);
}

TEST_F(GatewayContract, WrongOrMissingCredentialsAreRefused)
{
    TestSupport::TempDir local;
    writeFile(local.path() + "/x.xml", "x");
    TIdHTTP wrong;
    wrong.Username = "gw";
    wrong.Password = "errada";
    TIdHTTP anonymous;
    for (TIdHTTP* intruder : {&wrong, &anonymous}) {
        EXPECT_EQ(refusal([&] { intruder->Get(u("list", {{"dir", "/"}})); }).first, 401);
        EXPECT_EQ(refusal([&] { intruder->Get(u("file", {{"dir", "/"}, {"name", "nota fiscal.xml"}})); }).first, 401);
        EXPECT_EQ(refusal([&] { intruder->PostFile(u("file", {{"dir", "/"}, {"name", "x.xml"}}), "file", local.path() + "/x.xml"); }).first, 401);
        EXPECT_EQ(refusal([&] { intruder->Post(u("mkdir", {{"dir", "/"}, {"name", "novo"}})); }).first, 401);
        EXPECT_EQ(refusal([&] { intruder->Post(u("delete", {{"dir", "/"}, {"name", "nota fiscal.xml"}, {"kind", "file"}})); }).first, 401);
    }
    EXPECT_FALSE(fs::exists(store.root + "/x.xml"));
    EXPECT_FALSE(fs::exists(store.root + "/novo"));
    EXPECT_TRUE(fs::exists(store.root + "/nota fiscal.xml"));

    Poco::Net::HTTPClientSession session("127.0.33.1", static_cast<Poco::UInt16>(gateway.port()));
    Poco::Net::HTTPRequest request("GET", "/gw/list?dir=/", Poco::Net::HTTPMessage::HTTP_1_1);
    session.sendRequest(request);
    Poco::Net::HTTPResponse response;
    session.receiveResponse(response);
    EXPECT_EQ(response.getStatus(), 401);
    EXPECT_EQ(response.get("WWW-Authenticate", "").rfind("Basic", 0), 0u);
}

TEST(GatewayTls, ServesHttpsWithTheTestCertificate)
{
    Store store;
    writeFile(store.root + "/a.xml", "conteúdo");
    const auto cert = TestSupport::makeTestCertificate(store.temp.path());
    TestSupport::GatewayProcess gateway(store.root, "gw", "senha", cert.certFile, cert.keyFile, "127.0.0.1");
    const std::string base = "https://127.0.0.1:" + std::to_string(gateway.port());

    TIdHTTP trusting;
    trusting.Username = "gw";
    trusting.Password = "senha";
    trusting.TrustedCertificateFile = cert.certFile;
    EXPECT_EQ(trusting.Get(url(base, "file", {{"dir", "/"}, {"name", "a.xml"}})), "conteúdo");
    trusting.Post(url(base, "mkdir", {{"dir", "/"}, {"name", "seguro"}}));
    EXPECT_TRUE(fs::is_directory(store.root + "/seguro"));

    // Without trusting the self-signed certificate the connection is refused, not a reply.
    TIdHTTP untrusting;
    untrusting.Username = "gw";
    untrusting.Password = "senha";
    try {
        untrusting.Get(url(base, "list", {{"dir", "/"}}));
        ADD_FAILURE() << "an untrusted certificate must fail";
    } catch (const HttpError& e) {
        ADD_FAILURE() << "unexpected HTTP reply " << e.StatusCode();
    } catch (const std::runtime_error&) {
    }
    // Plain HTTP against the TLS port gets no answer it could mistake for a listing.
    TIdHTTP plain;
    plain.Username = "gw";
    plain.Password = "senha";
    plain.ReadTimeout = std::chrono::milliseconds(3000);
    EXPECT_THROW(plain.Get(url("http://127.0.0.1:" + std::to_string(gateway.port()), "list", {{"dir", "/"}})), std::exception);
}

// A download goes on where it stopped only over the same version of the file: the rest comes as 206
// after a Range whose If-Range matches, the whole file (HttpRangeIgnored) once the file changed.
TEST_F(GatewayContract, ADownloadGoesOnFromWhereItStoppedOnlyForTheSameFile)
{
    const std::string bytes = std::string(3000, 'a') + std::string(2000, 'b');
    writeFile(store.root + "/lote.xml", bytes);
    const std::string file = u("file", {{"dir", "/"}, {"name", "lote.xml"}});
    client.Get(file);
    const std::string version = client.LastModified();
    ASSERT_FALSE(version.empty());
    std::ostringstream rest;
    std::int64_t lastCount = 0;
    client.OnWork = [&](Platform::TWorkMode, std::int64_t count) { lastCount = count; };
    client.GetFrom(file, rest, 3000, version);
    EXPECT_EQ(rest.str(), std::string(2000, 'b'));
    EXPECT_EQ(lastCount, 5000);
    EXPECT_EQ(refusal([&] { client.GetFrom(file, rest, 5000, version); }).first, 416);

    fs::last_write_time(store.root + "/lote.xml", fs::last_write_time(store.root + "/lote.xml") - std::chrono::hours(1));
    std::ostringstream none;
    EXPECT_THROW(client.GetFrom(file, none, 3000, version), Platform::HttpRangeIgnored);
    EXPECT_TRUE(none.str().empty());
}
