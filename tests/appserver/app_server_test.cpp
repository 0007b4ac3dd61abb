// The application server as the screen sees it: the three server objects over a seeded database,
// staged replies, and the errors for what does not exist. The client is the host library's link.
#include "mrv/data_packet.h"
#include "mrv/net_connection.h"
#include "tests/support/appserver_fixture.h"
#include "tests/support/test_paths.h"

#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/Net/SocketAddress.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/PipeStream.h>
#include <Poco/Process.h>
#include <Poco/StreamCopier.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

using Mrv::TNetConnection;
using TestSupport::AppServerProcess;

namespace {

const char* seededSql = R"sql(
INSERT INTO http_param VALUES ('S', 'gw.example', '8443', 1, 'proxy', '3128', 'puser', 1);
INSERT INTO local_cache VALUES ('', 'Address=127.0.0.9&Login=l&Password=p&Path=gw&FileDir=/');
INSERT INTO ftp_data VALUES ('S', '127.0.0.5', 'nfe', 'segredo', '12');
)sql";

std::unique_ptr<TNetConnection> link(const AppServerProcess& server, const std::string& name)
{
    auto connection = std::make_unique<TNetConnection>();
    connection->ServerName = name;
    connection->Host = server.host();
    connection->Port = server.port();
    connection->SetConnected(true);
    return connection;
}

std::string text(const Poco::Dynamic::Var& value)
{
    return value.convert<std::string>();
}

} // namespace

TEST(AppServerMethods, ServeTheSeededSettings)
{
    AppServerProcess server(seededSql, "127.0.31.1");

    const auto packet = Mrv::dataPacketFromReply(link(server, "Bib.rdmDBGeral")->AppServer("GetHttp"));
    ASSERT_EQ(packet.fields.size(), 8u);
    const char* names[] = {"IDUTPARAMHTTPGER", "HTTPHOSADDR", "HTTPPORT", "IDUTHTTPPROXY", "HTTPPROXYHOST", "HTTPPROXYPORT", "HTTPPROXYUSERID", "HTTPHTTPS"};
    for (std::size_t i = 0; i < 8; ++i)
        EXPECT_EQ(packet.fields[i].name, names[i]);
    EXPECT_EQ(packet.fields[2].type, "string");
    EXPECT_EQ(packet.fields[3].type, "integer");
    EXPECT_EQ(packet.fields[7].type, "integer");
    ASSERT_EQ(packet.rows.size(), 1u);
    EXPECT_EQ(text(packet.rows[0][0]), "S");
    EXPECT_EQ(packet.rows[0][2].type(), typeid(std::string));
    EXPECT_EQ(text(packet.rows[0][2]), "8443");
    EXPECT_EQ(packet.rows[0][7].type(), typeid(Poco::Int64));
    EXPECT_EQ(packet.rows[0][7].extract<Poco::Int64>(), 1);

    const auto connect = link(server, "Bib.rdmLocalCache")->AppServer("GetTableData", {""});
    EXPECT_EQ(text(connect), "Address=127.0.0.9&Login=l&Password=p&Path=gw&FileDir=/");

    const auto ftp = link(server, "VOP31600.rdmCtrlArqXMLNFe")->AppServer("GetDadosFTP");
    ASSERT_TRUE(ftp.isArray());
    ASSERT_EQ(ftp.size(), 5u);
    EXPECT_EQ(text(ftp[0]), "S");
    EXPECT_EQ(text(ftp[1]), "127.0.0.5");
    EXPECT_EQ(text(ftp[2]), "nfe");
    EXPECT_EQ(text(ftp[3]), "segredo");
    EXPECT_EQ(text(ftp[4]), "12");
}

TEST(AppServerMethods, EmptyTablesAndNullColumns)
{
    AppServerProcess server("", "127.0.31.2");
    const auto packet = Mrv::dataPacketFromReply(link(server, "Bib.rdmDBGeral")->AppServer("GetHttp"));
    EXPECT_EQ(packet.fields.size(), 8u);
    EXPECT_TRUE(packet.rows.empty());

    // No FTP row: the server answers with a text, the error-message form of the reply.
    const auto ftp = link(server, "VOP31600.rdmCtrlArqXMLNFe")->AppServer("GetDadosFTP");
    EXPECT_TRUE(ftp.isString());
    EXPECT_FALSE(text(ftp).empty());

    server.exec("INSERT INTO http_param (IDUTPARAMHTTPGER) VALUES (NULL);"
                "INSERT INTO ftp_data (status, address) VALUES ('N', 'Empresa sem acesso');"
                "INSERT INTO local_cache VALUES ('', NULL);");
    const auto nulls = Mrv::dataPacketFromReply(link(server, "Bib.rdmDBGeral")->AppServer("GetHttp"));
    ASSERT_EQ(nulls.rows.size(), 1u);
    for (const auto& value : nulls.rows[0])
        EXPECT_TRUE(value.isEmpty());
    const auto failed = link(server, "VOP31600.rdmCtrlArqXMLNFe")->AppServer("GetDadosFTP");
    ASSERT_EQ(failed.size(), 5u);
    EXPECT_EQ(text(failed[1]), "Empresa sem acesso");
    EXPECT_TRUE(failed[4].isEmpty());
    EXPECT_TRUE(link(server, "Bib.rdmLocalCache")->AppServer("GetTableData", {""}).isEmpty());
}

TEST(AppServerMethods, StagedRepliesReplaceTheBuiltInOnes)
{
    AppServerProcess server(std::string(seededSql) + R"sql(
INSERT INTO reply_override (server, method, body) VALUES ('VOP31600.rdmCtrlArqXMLNFe', 'GetDadosFTP', '{"result":["N","Sem permissão"]}');
INSERT INTO reply_override (server, method, body) VALUES ('Bib.rdmDBGeral', 'GetHttp', '{"result":"Tabela bloqueada"}');
INSERT INTO reply_override (server, method, http_status, body) VALUES ('Bib.rdmLocalCache', 'GetTableData', 500, '{"error":"Cache indisponível"}');
INSERT INTO reply_override (server, method, body) VALUES ('Outro.rdmTeste', 'Eco', '{"result":[null,1,2.5,true,"x"]}');
)sql", "127.0.31.3");

    const auto shortArray = link(server, "VOP31600.rdmCtrlArqXMLNFe")->AppServer("GetDadosFTP");
    ASSERT_EQ(shortArray.size(), 2u);
    EXPECT_EQ(text(shortArray[1]), "Sem permissão");

    const auto textReply = link(server, "Bib.rdmDBGeral")->AppServer("GetHttp");
    EXPECT_THROW(
        {
            try {
                Mrv::dataPacketFromReply(textReply);
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Tabela bloqueada");
                throw;
            }
        },
        std::runtime_error);

    auto cache = link(server, "Bib.rdmLocalCache");
    try {
        cache->AppServer("GetTableData", {""});
        FAIL() << "a failure status must raise";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cache indisponível");
    }
    // A staged server object exists for connecting; its other methods do not.
    auto other = link(server, "Outro.rdmTeste");
    EXPECT_EQ(other->AppServer("Eco").size(), 5u);
    EXPECT_THROW(other->AppServer("Nada"), std::runtime_error);
}

TEST(AppServerMethods, UnknownServerObjectsAndMethodsAreRefusedClearly)
{
    AppServerProcess server(seededSql, "127.0.31.4");
    TNetConnection missing;
    missing.ServerName = "Bib.rdmNaoExiste";
    missing.Host = server.host();
    missing.Port = server.port();
    try {
        missing.SetConnected(true);
        FAIL() << "connecting to a missing server object must raise";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Bib.rdmNaoExiste"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(missing.Connected());

    auto general = link(server, "Bib.rdmDBGeral");
    try {
        general->AppServer("GetNothing");
        FAIL() << "an unknown method must raise";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("GetNothing"), std::string::npos) << e.what();
    }
    // Wrong argument count is the caller's fault, not a crash of the server.
    EXPECT_THROW(link(server, "Bib.rdmLocalCache")->AppServer("GetTableData"), std::runtime_error);
    EXPECT_THROW(link(server, "Bib.rdmLocalCache")->AppServer("GetTableData", {"NAOHA"}), std::runtime_error);
    // The link stays usable after errors (the keep-alive connection is not poisoned).
    EXPECT_TRUE(Mrv::dataPacketFromReply(general->AppServer("GetHttp")).rows.size() == 1);
}

TEST(AppServerProtocol, StatusCodesAndBodiesOnTheWire)
{
    AppServerProcess server(seededSql, "127.0.31.5");
    Poco::Net::HTTPClientSession session(server.host(), static_cast<Poco::UInt16>(server.port()));
    session.setKeepAlive(true);
    auto exchange = [&](const std::string& verb, const std::string& path, const std::string& body) {
        Poco::Net::HTTPRequest request(verb, path, Poco::Net::HTTPMessage::HTTP_1_1);
        request.setKeepAlive(true);
        request.setContentLength(static_cast<std::streamsize>(body.size()));
        session.sendRequest(request) << body;
        Poco::Net::HTTPResponse response;
        std::string reply;
        Poco::StreamCopier::copyToString(session.receiveResponse(response), reply);
        EXPECT_TRUE(response.getKeepAlive());
        return std::make_pair(static_cast<int>(response.getStatus()), reply);
    };
    EXPECT_EQ(exchange("GET", "/servers/Bib.rdmDBGeral", ""), std::make_pair(200, std::string(R"({"server":"Bib.rdmDBGeral"})")));
    EXPECT_EQ(exchange("GET", "/servers/Nope", "").first, 404);
    EXPECT_EQ(exchange("POST", "/servers/Bib.rdmDBGeral/Nope", R"({"args":[]})").first, 404);
    EXPECT_EQ(exchange("POST", "/servers/Bib.rdmLocalCache/GetTableData", "{not json").first, 400);
    EXPECT_EQ(exchange("GET", "/elsewhere", "").first, 404);
    const auto ok = exchange("POST", "/servers/Bib.rdmLocalCache/GetTableData", R"({"args":[""]})");
    EXPECT_EQ(ok.first, 200);
    EXPECT_EQ(ok.second, R"({"result":"Address=127.0.0.9&Login=l&Password=p&Path=gw&FileDir=/"})");
}

TEST(AppServerHardening, IdleClientsDoNotStarveTheLink)
{
    AppServerProcess server(seededSql, "127.0.31.7", {"--header-timeout-ms", "1500"});
    const Poco::Net::SocketAddress address(server.host(), static_cast<Poco::UInt16>(server.port()));
    std::vector<Poco::Net::StreamSocket> idle;
    for (int i = 0; i < 100; ++i)
        idle.emplace_back(address);
    const auto start = std::chrono::steady_clock::now();
    const auto general = link(server, "Bib.rdmDBGeral");
    EXPECT_EQ(Mrv::dataPacketFromReply(general->AppServer("GetHttp")).rows.size(), 1u);
    EXPECT_EQ(Mrv::dataPacketFromReply(general->AppServer("GetHttp")).rows.size(), 1u);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    // An idle connection is closed at the head's deadline.
    ASSERT_TRUE(idle.front().poll(Poco::Timespan(3, 0), Poco::Net::Socket::SELECT_READ));
    char byte;
    EXPECT_EQ(idle.front().receiveBytes(&byte, 1), 0);
}

TEST(AppServerHardening, RefusesFromTheHeadAndNeverEchoesABody)
{
    AppServerProcess server(seededSql, "127.0.31.8");
    const auto raw = [&](const std::string& bytes) { return TestSupport::rawExchange(server.host(), server.port(), bytes); };
    const std::string call = "POST /servers/Bib.rdmLocalCache/GetTableData HTTP/1.1\r\nHost: x\r\n";

    auto reply = raw("PUT /servers/Bib.rdmDBGeral HTTP/1.1\r\nHost: x\r\nContent-Length: 1000000\r\n\r\nabc");
    EXPECT_EQ(reply.status, 405);
    EXPECT_TRUE(reply.closed);
    reply = raw(call + "\r\n{\"args\":[\"\"]}");
    EXPECT_EQ(reply.status, 411);
    EXPECT_LT(reply.seconds, 1.0);
    EXPECT_TRUE(reply.closed);
    reply = raw(call + "Content-Length: 268435456\r\n\r\n{\"args\":[");
    EXPECT_EQ(reply.status, 413);
    EXPECT_LT(reply.seconds, 1.0);
    EXPECT_TRUE(reply.closed);
    const std::string big = "{\"args\":[\"" + std::string(1100000, 'x') + "\"]}";
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", big.size());
    reply = raw(call + "Transfer-Encoding: chunked\r\n\r\n" + size + big + "\r\n0\r\n\r\n");
    EXPECT_EQ(reply.status, 413);
    EXPECT_TRUE(reply.closed);

    // Whatever the caller sent stays out of the reply, in every error.
    const std::string marker = "MARCADOR-DO-CORPO";
    for (const auto& [path, body] : std::vector<std::pair<std::string, std::string>>{
             {"/servers/Bib.rdmLocalCache/GetTableData", "{\"args\":[\"" + marker + "\"]}"},
             {"/servers/Bib.rdmLocalCache/GetTableData", "{" + marker},
             {"/servers/Nope/Nada", marker},
             {"/elsewhere", marker}}) {
        reply = raw("POST " + path + " HTTP/1.1\r\nHost: x\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
        EXPECT_GE(reply.status, 400) << path;
        EXPECT_EQ(reply.body.find(marker), std::string::npos) << reply.body;
        EXPECT_FALSE(reply.closed) << "a body read whole leaves the connection usable";
    }
}

TEST(AppServerProcessTest, DemoSeedAndBadCommandLines)
{
    TestSupport::TempDir dir;
    const std::string db = dir.path() + "/demo.db";
    Poco::ProcessHandle seed = Poco::Process::launch(TestPaths::python(),
        {TestPaths::sourceDir() + "/appserver/seed_demo.py", "--db", db, "--ftp-host", "127.0.0.77", "--organisation", "7"},
        nullptr, nullptr, nullptr);
    ASSERT_EQ(seed.wait(), 0);
    TestSupport::ServerProcess demo({"--db", db, "--host", "127.0.31.6", "--port", "0"});
    TNetConnection ftp;
    ftp.ServerName = "VOP31600.rdmCtrlArqXMLNFe";
    ftp.Host = "127.0.31.6";
    ftp.Port = demo.port();
    ftp.SetConnected(true);
    const auto reply = ftp.AppServer("GetDadosFTP");
    EXPECT_EQ(text(reply[0]), "S");
    EXPECT_EQ(text(reply[1]), "127.0.0.77");
    EXPECT_EQ(text(reply[4]), "7");

    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"--port", "x", "--db", db}, {"--gateway", "--login", "a"}, {"--db", db, "--cert", "c"}}) {
        Poco::ProcessHandle bad = Poco::Process::launch(TestPaths::binDir() + "/vop-appserver", args, nullptr, nullptr, nullptr);
        EXPECT_EQ(bad.wait(), 2);
    }
    Poco::Pipe usage;
    Poco::ProcessHandle help = Poco::Process::launch(TestPaths::binDir() + "/vop-appserver", {"--help"}, nullptr, &usage, nullptr);
    Poco::PipeInputStream text(usage);
    const std::string printed((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
    EXPECT_EQ(help.wait(), 0);
    EXPECT_EQ(printed.rfind("usage: vop-appserver", 0), 0u) << printed;
}
