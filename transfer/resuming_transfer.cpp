#include "transfer/resuming_transfer.h"

#include "transfer/partial_file.h"
#include "transfer/resume_policy.h"
#include "transfer/transfer_channel.h"

#include <filesystem>
#include <optional>

namespace Cli_Vop31601 {
namespace {

void logLoss(const ResumeContext& context, const TransferError& error, const ResumePolicy& resume)
{
    if (context.log)
        context.log("Conexão perdida (" + std::string(error.what()) + "); nova tentativa "
                    + std::to_string(resume.attempt()) + " de " + std::to_string(ResumePolicy::kAttempts) + ".");
}

void say(const ResumeContext& context, const std::string& text)
{
    if (context.log)
        context.log(text);
}

// A new session after a loss: nothing when it was had, else why not yet (the next failure counts
// against the attempts); throws when the context gives up, or for anything but a lost connection.
std::optional<TransferError> openAgain(TransferChannel& channel, const ResumeContext& context)
{
    try {
        channel.open();
        return std::nullopt;
    } catch (const TransferError& error) {
        if (context.giveUp && context.giveUp(error))
            throw;
        if (error.kind() != TransferError::Kind::ConnectionLost)
            throw;
        return error;
    }
}

} // namespace

bool fetchResuming(TransferChannel& channel, const std::string& remoteName, PartialFile& partial,
                   const ResumeContext& context, bool fromWhereItStopped, const std::function<void(std::int64_t)>& onSize)
{
    std::int64_t size = channel.size(remoteName);
    if (size >= 0 && onSize)
        onSize(size);
    ResumePolicy resume(context.stopRequested);
    std::int64_t offset = 0;
    for (;;) {
        try {
            channel.download(remoteName, partial, size, offset);
            break;
        } catch (const TransferError& error) {
            if (!resume.again(error))
                throw;
            logLoss(context, error, resume);
        }
        if (openAgain(channel, context)) {
            offset = 0;
            continue;
        }
        // Go on only with the same file: one that changed on the server starts again, so that two
        // versions are never spliced together.
        // (The size is what FTP tells of a version without a round trip more per file; the gateway's
        // channel asks for the same version itself.)
        const std::int64_t sizeNow = channel.size(remoteName);
        offset = partial.size();
        if (!fromWhereItStopped) {
            say(context, "Baixando \"" + remoteName + "\" de novo desde o início.");
            offset = 0;
            size = sizeNow;
        } else if (sizeNow != size || (sizeNow >= 0 && offset > sizeNow)) {
            say(context, "O arquivo mudou no servidor: recomeça do início.");
            offset = 0;
            size = sizeNow;
        } else {
            say(context, "Retomando \"" + remoteName + "\" a partir de " + std::to_string(offset) + " bytes.");
        }
        if (size >= 0 && onSize)
            onSize(size);
    }
    if (context.stopRequested())
        return false;
    partial.commit();
    return true;
}

void sendResuming(TransferChannel& channel, const std::string& localPath, const std::string& name,
                  const ResumeContext& context)
{
    ResumePolicy resume(context.stopRequested);
    std::int64_t offset = 0;
    for (;;) {
        try {
            channel.upload(localPath, name, offset);
            return;
        } catch (const TransferError& error) {
            if (!resume.again(error))
                throw;
            logLoss(context, error, resume);
        }
        offset = 0;
        if (openAgain(channel, context))
            continue;
        // What reached the server is kept and the rest appended, when it is a beginning of this file.
        std::error_code ignored;
        const auto local = static_cast<std::int64_t>(std::filesystem::file_size(localPath, ignored));
        const std::int64_t remote = channel.size(name);
        if (remote > 0 && remote <= local)
            offset = remote;
        say(context, offset > 0 ? "Retomando o envio de \"" + name + "\" a partir de " + std::to_string(offset) + " bytes."
                                : "Enviando \"" + name + "\" de novo desde o início.");
    }
}

bool reopenAfter(TransferChannel& channel, const TransferError& error, const ResumeContext& context)
{
    ResumePolicy resume(context.stopRequested);
    TransferError last = error;
    while (resume.again(last)) {
        logLoss(context, last, resume);
        const auto failed = openAgain(channel, context);
        if (!failed)
            return true;
        last = *failed;
    }
    return false;
}

} // namespace Cli_Vop31601
