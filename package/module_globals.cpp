#include "package/module_globals.h"

#include "platform/client_dataset.h"

#include <atomic>

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
alignas(std::atomic_ref<double>::required_alignment) double VelocidadeMedia = 0.0;
}

void UnitStart() { boStCriado = false; }

void UnitStop()
{
    // The screen, if one is still open, stays open; the parameter dataset is left alone too.
    stConnectStr.clear();
    SHttpProxyUserId.clear();
    SHttpProxyPort.clear();
    SHttpProxyHost.clear();
    SHttpPort.clear();
    SHttpHosAddr.clear();
}

} // namespace Cli_Vop31600
