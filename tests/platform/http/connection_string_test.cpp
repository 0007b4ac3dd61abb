#include "platform/http/connection_string.h"
#include "platform/http/gateway_client.h"
#include "platform/http/id_http.h"

#include <gtest/gtest.h>

using namespace Platform;

TEST(GatewayConnection, PairsInAnyOrderAndAnyCase)
{
    const auto c = parseGatewayConnection("Login=ana&ADDRESS=gw.example&password=p=1&Path=nfe&FileDir=/x&Address=other");
    EXPECT_EQ(c.Address, "gw.example");  // the first pair of a name wins
    EXPECT_EQ(c.Login, "ana");
    EXPECT_EQ(c.Password, "p=1");        // only the first "=" separates
    EXPECT_EQ(c.Path, "nfe");
    EXPECT_EQ(c.FileDir, "/x");
}

TEST(GatewayConnection, MissingNamesGiveEmptyValues)
{
    const auto c = parseGatewayConnection("Login=ana&Password=x");
    EXPECT_EQ(c.Address, "");
    EXPECT_EQ(gatewayBaseUrl(c.Address, "8443", 1), "https://:8443");
    EXPECT_EQ(parseGatewayConnection("").Address, "");
}

TEST(GatewayConnection, BaseUrlRule)
{
    EXPECT_EQ(gatewayBaseUrl("gw.example", "", 0), "http://gw.example");
    EXPECT_EQ(gatewayBaseUrl("gw.example", "8443", 1), "https://gw.example:8443");
    EXPECT_EQ(gatewayBaseUrl("gw.example", "8080", 2), "http://gw.example:8080");
    EXPECT_EQ(gatewayBaseUrl("gw.example/", "", 0), "http://gw.example/");  // the address is used unchanged
}

TEST(GatewayConnection, RequestUrlJoinsWithOneSlashAndEncodesValues)
{
    EXPECT_EQ(gatewayRequestUrl("http://gw:81/", "/nfe/", "file", {{"dir", "/XMLFTP/Organização 12"}, {"name", "a&b.xml"}}),
              "http://gw:81/nfe/file?dir=%2FXMLFTP%2FOrganiza%C3%A7%C3%A3o%2012&name=a%26b.xml");
    EXPECT_EQ(gatewayRequestUrl("http://gw", "", "list", {{"dir", "/"}}), "http://gw/list?dir=%2F");
}

TEST(GatewayConnection, OneBuilderMakesEveryRequestOfTheSettings)
{
    TIdHTTP http;
    const GatewayClient gateway(http, {"Login=ana&Address=gw.example&Password=x&Path=/nfe/", "8443", 1});
    EXPECT_EQ(gateway.url("delete", {{"dir", "/XMLFTP/Organização 12"}, {"name", "a b.xml"}, {"kind", "file"}}),
              "https://gw.example:8443/nfe/delete?dir=%2FXMLFTP%2FOrganiza%C3%A7%C3%A3o%2012&name=a%20b.xml&kind=file");
    EXPECT_EQ(GatewayClient(http, {"Address=gw", "", 0}).url("list", {{"dir", "/"}}), "http://gw/list?dir=%2F");
}
