#pragma once

#include "platform/common/platform_export.h"

#include <stdexcept>
#include <string>

namespace Platform {

// A failed FTP operation. The message is meant for the user: the server's text is already
// decoded to UTF-8 and the password never appears in it. ReplyCode() is the server's reply code,
// or 0 when the failure did not come from a reply (local error, protocol error, time-out).
class PLATFORM_API FtpError : public std::runtime_error {
public:
    explicit FtpError(const std::string& message, int replyCode = 0);
    int ReplyCode() const;

private:
    int replyCode_;
};

// The control connection is gone: end of stream, reset, or a 421 reply.
class PLATFORM_API FtpConnectionLost : public FtpError {
public:
    using FtpError::FtpError;
};

// A connect, reply or data read/write took longer than its time-out. The connection is closed.
class PLATFORM_API FtpTimeout : public FtpError {
public:
    using FtpError::FtpError;
};

// The data connection broke, or brought fewer bytes than announced; the control connection may
// still be in step. What arrived is kept: the transfer can go on from there.
class PLATFORM_API FtpDataLost : public FtpError {
public:
    using FtpError::FtpError;
};

// The server will not resume a download (REST refused): nothing was transferred.
class PLATFORM_API FtpRestRefused : public FtpError {
public:
    using FtpError::FtpError;
};

// TLS was required and the server refused AUTH TLS (or the protection of the data connections).
// Nothing was sent past the greeting.
class PLATFORM_API FtpTlsRefused : public FtpError {
public:
    using FtpError::FtpError;
};

// The server's certificate was not accepted; USER and PASS were not sent.
class PLATFORM_API FtpCertificateRejected : public FtpError {
public:
    using FtpError::FtpError;
};

// A transfer ended by Abort(). The session stays usable.
class PLATFORM_API FtpAborted : public FtpError {
public:
    using FtpError::FtpError;
};

} // namespace Platform
