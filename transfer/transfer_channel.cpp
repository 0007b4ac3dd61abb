#include "transfer/transfer_channel.h"

namespace Cli_Vop31601 {

std::unique_ptr<TransferChannel> makeTransferChannel(const ConnectionProfile& profile, const std::string& directory,
                                                     FtpSide ftp, GatewaySide gateway)
{
    if (profile.mode == TransferMode::Gateway)
        return makeGatewayChannel(std::move(gateway), profile.gateway, directory);
    return makeFtpChannel(std::move(ftp), profile.ftp, directory);
}

} // namespace Cli_Vop31601
