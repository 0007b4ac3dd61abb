// Every way out of the store is refused with 403, and nothing outside it is read or written.
#include "tests/support/gateway_store.h"

#include "platform/http/id_http.h"

#include <Poco/Net/HTTPBasicCredentials.h>
#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/StreamCopier.h>

#include <gtest/gtest.h>

#include <filesystem>

using namespace GatewayTest;
using Platform::HttpError;
using Platform::TIdHTTP;
namespace fs = std::filesystem;

namespace {

class GatewayConfinement : public ::testing::Test {
protected:
    GatewayConfinement()
    {
        fs::create_directories(store.root + "/XMLFTP");
        writeFile(store.root + "/XMLFTP/dentro.xml", "inside");
        fs::create_directory_symlink(store.outside, store.root + "/saida");
        fs::create_symlink(store.outside + "/secret.txt", store.root + "/segredo.txt");
        fs::create_directory_symlink(store.root + "/XMLFTP", store.root + "/atalho"); // stays inside
        writeFile(local.path() + "/carga.xml", "payload");
        client.Username = "gw";
        client.Password = "senha";
        before = snapshot(store.outside);
    }

    ~GatewayConfinement() override
    {
        EXPECT_EQ(snapshot(store.outside), before) << "something outside the store changed";
    }

    int status(const std::function<void()>& call)
    {
        try {
            call();
        } catch (const HttpError& e) {
            return e.StatusCode();
        }
        return 200;
    }

    std::string u(const std::string& endpoint, const std::map<std::string, std::string>& query)
    {
        return url(base, endpoint, query);
    }

    // Sends a request target exactly as written, without any client-side encoding.
    int raw(const std::string& target)
    {
        Poco::Net::HTTPClientSession session("127.0.33.2", static_cast<Poco::UInt16>(gateway.port()));
        Poco::Net::HTTPRequest request("GET", target, Poco::Net::HTTPMessage::HTTP_1_1);
        Poco::Net::HTTPBasicCredentials("gw", "senha").authenticate(request);
        session.sendRequest(request);
        Poco::Net::HTTPResponse response;
        std::string body;
        Poco::StreamCopier::copyToString(session.receiveResponse(response), body);
        EXPECT_EQ(body.find("do not read me"), std::string::npos) << target;
        return response.getStatus();
    }

    Store store;
    TestSupport::TempDir local;
    TestSupport::GatewayProcess gateway{store.root, "gw", "senha", "", "", "127.0.33.2"};
    std::string base = "http://127.0.33.2:" + std::to_string(gateway.port());
    TIdHTTP client;
    std::map<std::string, std::string> before;
};

} // namespace

TEST_F(GatewayConfinement, DotDotAboveTheRootIsRefused)
{
    EXPECT_EQ(status([&] { client.Get(u("cwd", {{"dir", "/"}, {"to", ".."}})); }), 403);
    EXPECT_EQ(status([&] { client.Get(u("cwd", {{"dir", "/XMLFTP"}, {"to", "../../outside"}})); }), 403);
    EXPECT_EQ(status([&] { client.Get(u("list", {{"dir", "/../outside"}})); }), 403);
    EXPECT_EQ(status([&] { client.Get(u("file", {{"dir", "/XMLFTP/../.."}, {"name", "secret.txt"}})); }), 403);
    EXPECT_EQ(status([&] { client.Get(u("file", {{"dir", "/"}, {"name", "../outside/secret.txt"}})); }), 403);
    EXPECT_EQ(status([&] { client.Get(u("file", {{"dir", "/"}, {"name", ".."}})); }), 403);
    EXPECT_EQ(status([&] { client.PostFile(u("file", {{"dir", "/.."}, {"name", "outside/novo.xml"}}), "file", local.path() + "/carga.xml"); }), 403);
    EXPECT_EQ(status([&] { client.PostFile(u("file", {{"dir", "/"}, {"name", "../outside/novo.xml"}}), "file", local.path() + "/carga.xml"); }), 403);
    EXPECT_EQ(status([&] { client.Post(u("mkdir", {{"dir", "/../outside"}, {"name", "novo"}})); }), 403);
    EXPECT_EQ(status([&] { client.Post(u("delete", {{"dir", "/../outside"}, {"name", "secret.txt"}, {"kind", "file"}})); }), 403);
    // Inside the store ".." is only a way back up.
    EXPECT_EQ(client.Get(u("cwd", {{"dir", "/XMLFTP"}, {"to", "../XMLFTP/./.."}})), "/");
}

TEST_F(GatewayConfinement, EncodedAndAbsoluteEscapesAreRefused)
{
    EXPECT_EQ(raw("/gw/file?dir=%2F..%2F..&name=secret.txt"), 403);
    EXPECT_EQ(raw("/gw/file?dir=%2e%2e&name=secret.txt"), 403);
    EXPECT_EQ(raw("/gw/list?dir=%2E%2E%2Foutside"), 403);
    EXPECT_EQ(raw("/gw/file?dir=/&name=%2e%2e%2foutside%2fsecret.txt"), 403);
    EXPECT_EQ(raw("/gw/file?dir=/&name=..%5c..%5coutside"), 404); // a backslash is only a character here
    EXPECT_EQ(raw("/gw/cwd?dir=/&to=%252e%252e"), 404);            // decoded once: a name, not a parent
    EXPECT_EQ(raw("/gw/file?dir=/&name=secret.txt%00.xml"), 400);
    // An absolute path is a path inside the store, never of the machine.
    EXPECT_EQ(raw("/gw/list?dir=" + store.outside), 404);
    EXPECT_EQ(raw("/gw/file?dir=" + store.outside + "&name=secret.txt"), 404);
    EXPECT_EQ(raw("/gw/list?dir=/etc"), 404);
    // The path before the endpoint is not a file system path at all.
    EXPECT_EQ(raw("/../../outside/secret.txt"), 404);
}

TEST_F(GatewayConfinement, SymlinksPointingOutAreRefused)
{
    EXPECT_EQ(status([&] { client.Get(u("list", {{"dir", "/saida"}})); }), 403);
    EXPECT_EQ(status([&] { client.Get(u("cwd", {{"dir", "/"}, {"to", "saida"}})); }), 403);
    EXPECT_EQ(status([&] { client.Get(u("file", {{"dir", "/saida"}, {"name", "secret.txt"}})); }), 403);
    EXPECT_EQ(status([&] { client.Get(u("file", {{"dir", "/"}, {"name", "segredo.txt"}})); }), 403);
    EXPECT_EQ(status([&] { client.PostFile(u("file", {{"dir", "/saida"}, {"name", "novo.xml"}}), "file", local.path() + "/carga.xml"); }), 403);
    EXPECT_EQ(status([&] { client.Post(u("mkdir", {{"dir", "/saida"}, {"name", "novo"}})); }), 403);
    EXPECT_EQ(status([&] { client.Post(u("delete", {{"dir", "/saida"}, {"name", "secret.txt"}, {"kind", "file"}})); }), 403);

    // The listing does not show links that lead out; a link that stays inside is an ordinary entry.
    const std::string listing = client.Get(u("list", {{"dir", "/"}}));
    EXPECT_EQ(listing.find("saida"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("segredo"), std::string::npos) << listing;
    EXPECT_NE(listing.find("<DIR>          atalho"), std::string::npos) << listing;
    EXPECT_EQ(client.Get(u("file", {{"dir", "/atalho"}, {"name", "dentro.xml"}})), "inside");

    // Deleting a link removes the link, never what it points to.
    client.Post(u("delete", {{"dir", "/"}, {"name", "segredo.txt"}, {"kind", "file"}}));
    EXPECT_FALSE(fs::is_symlink(store.root + "/segredo.txt"));
    EXPECT_TRUE(fs::exists(store.outside + "/secret.txt"));
    // Uploading over a link replaces the link with a file in the store.
    fs::create_symlink(store.outside + "/secret.txt", store.root + "/segredo.txt");
    client.PostFile(u("file", {{"dir", "/"}, {"name", "segredo.txt"}}), "file", local.path() + "/carga.xml");
    EXPECT_FALSE(fs::is_symlink(store.root + "/segredo.txt"));
    EXPECT_EQ(readFile(store.root + "/segredo.txt"), "payload");
}
