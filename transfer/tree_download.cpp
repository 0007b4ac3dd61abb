#include "transfer/tree_download.h"

#include "transfer/batch_report.h"
#include "transfer/crew_progress.h"
#include "transfer/file_times.h"
#include "transfer/partial_file.h"
#include "transfer/resuming_transfer.h"
#include "transfer/transfer_channel.h"
#include "transfer/transfer_crew.h"
#include "transfer/tree_paths.h"

#include "platform/common/local_file_error.h"

#include <cerrno>
#include <filesystem>

namespace Cli_Vop31601 {
namespace {

namespace fs = std::filesystem;

// A file this big is resumed where it stopped (when its size on the server is still the same); a
// smaller one comes again whole.
constexpr std::int64_t kResumedFrom = 1 << 20;

bool isLost(const TransferError& error)
{
    return error.kind() == TransferError::Kind::ConnectionLost || error.kind() == TransferError::Kind::Cancelled;
}

} // namespace

TreeDownload::TreeDownload(const TransferJob& job, TransferCrew& crew, CrewProgress& progress)
    : job_(job), crew_(crew), progress_(progress), started_(std::time(nullptr))
{
}

CrewTask TreeDownload::top()
{
    CrewTask task;
    task.isDirectory = true;
    return task;
}

std::string TreeDownload::localPath(const std::string& relative) const
{
    return (fs::path(job_.folder) / fs::path(relative)).string();
}

void TreeDownload::perform(CrewLane& lane, const CrewTask& task)
{
    if (task.isDirectory && task.depth == 0)
        walkShown(lane, task);
    else if (task.isDirectory)
        walk(lane, task);
    else
        fetch(lane, task);
}

void TreeDownload::walkShown(CrewLane& lane, const CrewTask& top)
{
    // The shown directory's own listing stands for it in the loop check: a link below that leads
    // back to it is not walked again.
    CrewTask shown = top;
    try {
        lane.channel->enter(job_.directory);
        shown.above = withBelow(top, digestOf(lane.channel->list()));
    } catch (const TransferError& error) {
        if (isLost(error))
            throw;
    }
    for (const BatchFile& entry : job_.batchFiles)
        admit(entry, shown, *lane.channel);
}

void TreeDownload::walk(CrewLane& lane, const CrewTask& directory)
{
    std::vector<std::string> lines;
    try {
        lane.channel->enter(joinRemote(job_.directory, directory.relative));
        lines = lane.channel->list();
    } catch (const TransferError& error) {
        if (isLost(error))
            throw;
        crew_.fail(directory.relative + "/", "não foi possível listar o diretório (" + std::string(error.what()) + ")");
        return;
    }
    const std::uint64_t id = digestOf(lines);
    if (walkedAbove(directory, id)) {
        crew_.log(lane, "\"" + directory.relative + "\" leva a um diretório já percorrido acima dele: não é percorrido de novo.");
        return;
    }
    std::error_code error;
    fs::create_directories(localPath(directory.relative), error);
    if (error) {
        crew_.fail(directory.relative + "/",
                   "não foi possível criar a pasta \"" + localPath(directory.relative) + "\" (" + error.message() + ")");
        return;
    }
    CrewTask here = directory;
    here.above = withBelow(directory, id);
    BatchFile entry;
    for (const std::string& line : lines)
        if (job_.readListing(line, entry))
            admit(entry, here, *lane.channel);
}

void TreeDownload::admit(const BatchFile& entry, const CrewTask& parent, TransferChannel& channel)
{
    const std::string relative = below(parent.relative, entry.name);
    if (const auto reason = unusableLocalName(entry.name)) {
        crew_.fail(relative, *reason);
        return;
    }
    CrewTask task;
    task.isDirectory = entry.isDirectory;
    task.relative = relative;
    task.depth = parent.depth + 1;
    task.above = parent.above;
    if (entry.isDirectory) {
        if (task.depth > kMaxTreeDepth)
            crew_.fail(relative + "/", "mais de " + std::to_string(kMaxTreeDepth) + " níveis de diretórios: não foi percorrido");
        else
            crew_.add(std::move(task));
        return;
    }
    task.size = entry.size;
    task.stamp = listedTime(entry.modification, started_).value_or(0);
    if (keepsLocal(localPath(relative), entry, task.stamp, channel)) {
        ++kept_;
        return;
    }
    progress_.found(entry.size);
    crew_.add(std::move(task));
}

bool TreeDownload::keepsLocal(const std::string& target, const BatchFile& entry, std::time_t stamp,
                              TransferChannel& channel)
{
    switch (job_.existing) {
    case ExistingFiles::Replace:
        return false;
    case ExistingFiles::Keep: {
        std::error_code ignored;
        return fs::exists(target, ignored);
    }
    case ExistingFiles::NewOrChanged:
        break;
    }
    const auto local = localFileStamp(target);
    if (!local || entry.size < 0 || local->size != entry.size)
        return false;
    // The listing's time when it has one, else the server's MDTM; with neither, the size decides.
    std::optional<std::time_t> remote;
    if (stamp != 0)
        remote = stamp;
    else
        remote = mdtmTime(channel.modified(entry.name));
    return !remote || local->modified >= *remote;
}

void TreeDownload::fetch(CrewLane& lane, const CrewTask& file)
{
    lane.channel->enter(joinRemote(job_.directory, parentOf(file.relative)));
    const std::string target = localPath(file.relative);
    try {
        PartialFile partial(target, "na pasta escolhida");
        if (!fetchResuming(*lane.channel, leafOf(file.relative), partial, crew_.resumeContext(lane),
                           file.size >= kResumedFrom)) {
            progress_.carried(lane.index, 0);
            return;
        }
        if (file.stamp != 0)
            setLocalModified(target, file.stamp);
        std::error_code ignored;
        const auto size = static_cast<std::int64_t>(fs::file_size(target, ignored));
        ++written_;
        bytes_ += size;
        progress_.fileDone(lane.index, size);
        progress_.show(false);
    } catch (const TransferError& error) {
        progress_.carried(lane.index, 0);
        if (isLost(error) && !crew_.stopping())
            throw;
        if (!crew_.stopping())
            crew_.fail(file.relative, batchFailureReason(error));
    } catch (const Platform::LocalFileError& error) {
        progress_.carried(lane.index, 0);
        if (crew_.stopping())
            return;
        // A full disk fails every file after it too: the job stops, what came whole stays.
        if (error.ErrorCode() == ENOSPC || error.ErrorCode() == EDQUOT)
            crew_.halt(error.what());
        else
            crew_.fail(file.relative, withoutFullStop(error.what()));
    }
}

} // namespace Cli_Vop31601
