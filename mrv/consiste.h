#pragma once

#include "mrv/application.h"
#include "mrv/data_packet.h"
#include "mrv_export.h"

#include <Poco/Dynamic/Var.h>

#include <exception>
#include <string>

// Check helpers the screens share.
namespace Consiste {

// The exception MensErro(text, true) raises after showing its text: silent for every later report.
class MRV_API EShownError : public Mrv::EAbort {
public:
    explicit EShownError(std::string message);
    const char* what() const noexcept override;

private:
    std::string message_;
};

// Shows text as an error. With stop true it does not return: it raises EShownError.
MRV_API void MensErro(const std::string& text, bool stop);

// The catch-all of a handler: shows the exception's message through MensErro(message, false),
// unless it is a silent one (EAbort, or a message MensErro already showed).
MRV_API void MensErro(const std::exception& error);

MRV_API bool EmptyString(const std::string& text);

// The server reply as a data packet; a text reply (the server's error message) or anything else
// raises with that text.
MRV_API Mrv::DataPacket CheckResultServ(const Poco::Dynamic::Var& reply, bool raise, int context);

template <typename T>
T iif(bool condition, T whenTrue, T whenFalse)
{
    return condition ? whenTrue : whenFalse;
}

} // namespace Consiste
