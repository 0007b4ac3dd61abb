#include "mrv/dbgeral.h"
#include "mrv/quelbar.h"

#include <mutex>

namespace Dbgeral {
bool boHttp = false;
std::string SHttpPort;
std::int32_t InHttpHttps = 0;
} // namespace Dbgeral

namespace Quelbar {
namespace {
std::string webHost = "127.0.0.1";
int webPort = 8080;
} // namespace

std::string WebURL() { return webHost; }
int WebPort() { return webPort; }
void SetWebServer(const std::string& host, int port)
{
    webHost = host;
    webPort = port;
}
} // namespace Quelbar
