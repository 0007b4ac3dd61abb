#pragma once

#include <cstdint>
#include <string>

#ifndef MODULE_API
#define MODULE_API __attribute__((visibility("default")))
#endif

namespace Platform {
class TClientDataSet;
}

// The screen's unit-level variables, exported by the module: one copy per process, read and written
// in place by the host and other modules, so they carry plain (unmangled) names.
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
}

} // namespace Cli_Vop31600
