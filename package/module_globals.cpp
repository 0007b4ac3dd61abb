#include "package/module_globals.h"

namespace Cli_Vop31600 {

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
