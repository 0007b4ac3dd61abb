#include "mrv/consiste.h"

#include "mrv/prompts.h"

namespace Consiste {

EShownError::EShownError(std::string message) : message_(std::move(message)) {}

const char* EShownError::what() const noexcept { return message_.c_str(); }

void MensErro(const std::string& text, bool stop)
{
    Mrv::prompts().error(Mrv::Application::instance().title(), text);
    if (stop)
        throw EShownError(text);
}

void MensErro(const std::exception& error)
{
    if (dynamic_cast<const Mrv::EAbort*>(&error))
        return;
    MensErro(std::string(error.what()), false);
}

// Only the empty text: a name of spaces is a name, and the server decides about it.
bool EmptyString(const std::string& text) { return text.empty(); }

Mrv::DataPacket CheckResultServ(const Poco::Dynamic::Var& reply, bool /*raise*/, int /*context*/)
{
    return Mrv::dataPacketFromReply(reply);
}

} // namespace Consiste
