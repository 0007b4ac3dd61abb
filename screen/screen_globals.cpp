#include "screen/screen_globals.h"

namespace Cli_Vop31600 {

extern "C" {
TfrmCtrlArqXMLNFe* frmCtrlArqXMLNFe = nullptr;
bool boStCriado = false;
bool boHttp = false;
Platform::TClientDataSet* cdsHttp = nullptr;
std::string SHttpHosAddr;
std::string SHttpPort;
std::string SHttpProxyHost;
std::string SHttpProxyPort;
std::string SHttpProxyUserId;
std::string stConnectStr;
std::int32_t InIdUtHttpProxy = 0;
std::int32_t InHttpHttps = 0;
}

} // namespace Cli_Vop31600
