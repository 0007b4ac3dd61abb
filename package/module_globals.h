#pragma once

#include <cstdint>
#include <string>

#define MODULE_API __attribute__((visibility("default")))

namespace Platform {
class TClientDataSet;
}

// The module's exported unit-level variables: one copy per process, read and written in place by
// the host and other modules, so they carry plain (unmangled) names.
namespace Cli_Vop31600 {

class TfrmCtrlArqXMLNFe;

extern "C" {
extern MODULE_API TfrmCtrlArqXMLNFe* frmCtrlArqXMLNFe;
extern MODULE_API bool boStCriado;
extern MODULE_API bool boHttp;
extern MODULE_API Platform::TClientDataSet* cdsHttp;
extern MODULE_API std::string SHttpHosAddr;
extern MODULE_API std::string SHttpPort;
extern MODULE_API std::string SHttpProxyHost;
extern MODULE_API std::string SHttpProxyPort;
extern MODULE_API std::string SHttpProxyUserId;
extern MODULE_API std::string stConnectStr;
extern MODULE_API std::int32_t InIdUtHttpProxy;
extern MODULE_API std::int32_t InHttpHttps;
// Written by the transfer worker while the GUI thread may read it: access through std::atomic_ref.
extern MODULE_API double VelocidadeMedia;
}

// The unit's start and stop work.
void UnitStart();
void UnitStop();

} // namespace Cli_Vop31600
