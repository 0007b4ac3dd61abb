#include "platform/ftp/ftp_errors.h"

namespace Platform {

FtpError::FtpError(const std::string& message, int replyCode)
    : std::runtime_error(message), replyCode_(replyCode)
{
}

int FtpError::ReplyCode() const { return replyCode_; }

} // namespace Platform
