#include "screen/summary/summary_reader.h"

#include "screen/browse/memory_sink.h"
#include "screen/summary/summary_cache.h"

#include "platform/common/wait_hook.h"

namespace Cli_Vop31600 {

SummaryReader::SummaryReader(SummarySource source, std::vector<ListedFile> files, std::function<void()> notify)
    : source_(std::move(source)), files_(std::move(files)), notify_(std::move(notify))
{
    pending_.total = static_cast<int>(files_.size());
}

std::shared_ptr<SummaryReader> SummaryReader::start(SummarySource source, std::vector<ListedFile> files,
                                                    std::function<void()> notify)
{
    std::shared_ptr<SummaryReader> reader(new SummaryReader(std::move(source), std::move(files), std::move(notify)));
    // Below the screen: the user's keys and the grid come first.
    reader->Start(Platform::TThreadPriority::tpLower);
    return reader;
}

SummaryProgressStep SummaryReader::take()
{
    notifyPending_ = false;
    std::lock_guard lock(mutex_);
    SummaryProgressStep step = std::move(pending_);
    pending_ = SummaryProgressStep{};
    pending_.done = step.done;
    pending_.total = step.total;
    pending_.finished = step.finished;
    pending_.failure = step.failure;
    return step;
}

void SummaryReader::stop()
{
    stop_ = true;
    Terminate();
}

Nfe::FileFacts SummaryReader::readOne(SummaryConnection& connection, const ListedFile& file)
{
    const QString name = QString::fromStdString(file.name);
    const std::string key = SummaryCache::keyOf(source_.identity(), source_.directory, file.name, file.size, file.modified);
    if (auto cached = SummaryCache::instance().find(key))
        return *cached;
    if (file.size > kMaxBytes)
        return Nfe::unreadableFile(name, QStringLiteral("O arquivo passa de 5 MB; são lidos apenas arquivos de até 5 MB."));
    try {
        const std::string bytes = connection.read(file.name, file.size, kMaxBytes);
        Nfe::FileFacts facts = Nfe::readFacts(name, QByteArray::fromStdString(bytes), *Nfe::TrustRoots::installed());
        SummaryCache::instance().store(key, facts);
        return facts;
    } catch (const FileTooLarge&) {
        return Nfe::unreadableFile(name, QStringLiteral("O arquivo passa de 5 MB; são lidos apenas arquivos de até 5 MB."));
    } catch (const SummaryReadError& error) {
        if (error.connectionLost())
            throw;
        return Nfe::unreadableFile(name, QStringLiteral("Não foi possível ler o arquivo: %1").arg(QString::fromUtf8(error.what())));
    }
}

void SummaryReader::report(bool force)
{
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastReport_ < kReportInterval)
        return;
    lastReport_ = now;
    // One call on its way at a time: the user-interface thread takes everything pending at once.
    if (!notifyPending_.exchange(true))
        Platform::postToGuiThread(notify_);
}

void SummaryReader::Execute()
{
    SummaryConnection connection(source_, stop_);
    std::optional<QString> failure;
    try {
        for (const ListedFile& file : files_) {
            if (stop_)
                break;
            Nfe::FileFacts facts = readOne(connection, file);
            {
                std::lock_guard lock(mutex_);
                pending_.newFacts.push_back(std::move(facts));
                ++pending_.done;
            }
            report(false);
        }
    } catch (const Platform::WaitCancelled&) {
        // Abort: what was read stays.
    } catch (const SummaryReadError& error) {
        failure = QStringLiteral("A conexão com o servidor foi perdida: %1").arg(QString::fromUtf8(error.what()).trimmed());
    }
    connection.close();
    {
        std::lock_guard lock(mutex_);
        pending_.finished = true;
        pending_.failure = failure;
    }
    report(true);
}

} // namespace Cli_Vop31600
