// The host library's link to the application server: variant mapping of replies, error texts,
// a server that is down, stalls or answers garbage.
#include "mrv/net_connection.h"
#include "tests/support/appserver_fixture.h"

#include <Poco/JSON/Object.h>

#include <Poco/Net/ServerSocket.h>
#include <Poco/Net/SocketAddress.h>

#include <gtest/gtest.h>

using Mrv::TNetConnection;
using TestSupport::AppServerProcess;

namespace {

std::string staged(const std::string& method, const std::string& body, int status = 200, int delayMs = 0)
{
    std::string quoted;
    for (char c : body)
        quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return "INSERT INTO reply_override VALUES ('Teste.rdm', '" + method + "', " + std::to_string(status) + ", '" + quoted + "', " +
        std::to_string(delayMs) + ");";
}

void aim(TNetConnection& link, const std::string& host, int port, const std::string& server = "Teste.rdm")
{
    link.ServerName = server;
    link.Host = host;
    link.Port = port;
}

std::string messageOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    ADD_FAILURE() << "expected an exception";
    return {};
}

// A port on which nothing listens: bound, then released.
int deadPort(const std::string& host)
{
    Poco::Net::ServerSocket socket(Poco::Net::SocketAddress(host, 0));
    const int port = socket.address().port();
    socket.close();
    return port;
}

} // namespace

TEST(NetConnectionVariants, JsonKindsBecomeTheDocumentedVariants)
{
    AppServerProcess server(staged("Eco", R"({"result":[null,"texto",42,5000000000,-7,2.5,true,false,[1,["x"]],{"fields":[],"rows":[]}]})") +
                                staged("Nulo", R"({"result":null})") + staged("Texto", R"({"result":"Organização"})"),
        "127.0.32.1");
    TNetConnection link;
    aim(link, server.host(), server.port());
    link.SetConnected(true);
    ASSERT_TRUE(link.Connected());

    const auto reply = link.AppServer("Eco");
    ASSERT_EQ(reply.type(), typeid(Poco::Dynamic::Array));
    ASSERT_EQ(reply.size(), 10u);
    EXPECT_TRUE(reply[0].isEmpty());
    EXPECT_EQ(reply[1].type(), typeid(std::string));
    EXPECT_EQ(reply[2].type(), typeid(Poco::Int64));
    EXPECT_EQ(reply[2].extract<Poco::Int64>(), 42);
    EXPECT_EQ(reply[3].extract<Poco::Int64>(), 5000000000LL);
    EXPECT_EQ(reply[4].extract<Poco::Int64>(), -7);
    EXPECT_EQ(reply[5].type(), typeid(double));
    EXPECT_DOUBLE_EQ(reply[5].extract<double>(), 2.5);
    EXPECT_EQ(reply[6].type(), typeid(bool));
    EXPECT_TRUE(reply[6].extract<bool>());
    EXPECT_FALSE(reply[7].extract<bool>());
    ASSERT_EQ(reply[8].type(), typeid(Poco::Dynamic::Array));
    EXPECT_EQ(reply[8][1].type(), typeid(Poco::Dynamic::Array));
    EXPECT_EQ(reply[8][1][0].extract<std::string>(), "x");
    EXPECT_EQ(reply[9].type(), typeid(Poco::JSON::Object::Ptr));

    EXPECT_TRUE(link.AppServer("Nulo").isEmpty());
    EXPECT_EQ(link.AppServer("Texto").extract<std::string>(), "Organização");
}

TEST(NetConnectionErrors, ServerErrorsRaiseTheirText)
{
    AppServerProcess server(staged("Falha", R"({"error":"Usuário sem permissão"})", 403) + staged("Html", "<html>down</html>", 503) +
                                staged("SemResultado", R"({"outra":1})") + staged("Lixo", "not json at all"),
        "127.0.32.2");
    TNetConnection link;
    aim(link, server.host(), server.port());
    link.SetConnected(true);
    EXPECT_EQ(messageOf([&] { link.AppServer("Falha"); }), "Usuário sem permissão");
    const auto html = messageOf([&] { link.AppServer("Html"); });
    EXPECT_EQ(html, "O servidor de aplicação respondeu com o código 503: <html>down</html>");
    EXPECT_NE(messageOf([&] { link.AppServer("SemResultado"); }).find("malformada"), std::string::npos);
    EXPECT_NE(messageOf([&] { link.AppServer("Lixo"); }).find("malformada"), std::string::npos);
    // Arguments arrive as texts, in order: the staged method echoes nothing, but a wrong method name
    // with odd characters still reaches the server as one path segment.
    EXPECT_NE(messageOf([&] { link.AppServer("Get Http/?x"); }).find("Get Http/?x"), std::string::npos);
}

TEST(NetConnectionErrors, ServerDownWithAndWithoutThrowException)
{
    const std::string host = "127.0.32.3";
    const int port = deadPort(host);

    TNetConnection throwing;
    aim(throwing, host, port);
    const auto message = messageOf([&] { throwing.SetConnected(true); });
    EXPECT_EQ(message, "Não foi possível conectar ao objeto 'Teste.rdm' em " + host + ":" + std::to_string(port) +
                           " do servidor de aplicação: conexão recusada");
    EXPECT_FALSE(throwing.Connected());

    TNetConnection quiet;
    aim(quiet, host, port);
    quiet.ThrowException = false;
    EXPECT_NO_THROW(quiet.SetConnected(true));
    EXPECT_FALSE(quiet.Connected());
    EXPECT_FALSE(quiet.LastError().empty());
    // A call on the failed link raises the connect error, not a crash or a hang.
    EXPECT_EQ(messageOf([&] { quiet.AppServer("GetHttp"); }), quiet.LastError());

    TNetConnection never;
    EXPECT_EQ(messageOf([&] { never.AppServer("GetHttp"); }),
              "A ligação com o objeto '(vazio)' em (vazio):0 do servidor de aplicação não está conectada");
}

TEST(NetConnectionErrors, ServerThatStopsOrStallsGivesAClearError)
{
    auto server = std::make_unique<AppServerProcess>(staged("Lento", R"({"result":1})", 200, 1500) + staged("Rapido", R"({"result":1})"), "127.0.32.4");
    TNetConnection link;
    aim(link, server->host(), server->port());
    link.ReplyTimeout = std::chrono::milliseconds(300);
    link.SetConnected(true);
    const auto stalled = messageOf([&] { link.AppServer("Lento"); });
    EXPECT_EQ(stalled, "A chamada Teste.rdm.Lento ao servidor de aplicação falhou: tempo esgotado");
    EXPECT_EQ(link.AppServer("Rapido").convert<int>(), 1);

    server->stop();
    const auto gone = messageOf([&] { link.AppServer("Rapido"); });
    EXPECT_NE(gone.find("Teste.rdm.Rapido"), std::string::npos) << gone;
}

TEST(NetConnectionLifecycle, BeforeConnectRunsOnEveryConnectAndMayAimTheLink)
{
    AppServerProcess server(staged("Rapido", R"({"result":"ok"})"), "127.0.32.5");
    TNetConnection link;
    link.ServerName = "Teste.rdm";
    int calls = 0;
    link.OnBeforeConnect = [&](TNetConnection& self) {
        ++calls;
        self.Host = server.host();
        self.Port = server.port();
    };
    link.SetConnected(true);
    link.SetConnected(true); // already connected: nothing happens
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(link.AppServer("Rapido").convert<std::string>(), "ok");
    link.SetConnected(false);
    EXPECT_FALSE(link.Connected());
    EXPECT_THROW(link.AppServer("Rapido"), std::runtime_error);
    link.SetConnected(true);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(link.AppServer("Rapido").convert<std::string>(), "ok");

    // Owned by a QObject parent, the link goes with it.
    QObject form;
    auto* owned = new TNetConnection(&form);
    EXPECT_EQ(owned->parent(), &form);
}
