#include "transfer/folder_upload.h"

#include "transfer/batch_report.h"
#include "transfer/crew_progress.h"
#include "transfer/resuming_transfer.h"
#include "transfer/transfer_channel.h"
#include "transfer/transfer_crew.h"
#include "transfer/tree_paths.h"

#include "platform/common/local_file_error.h"
#include "platform/common/text_codec.h"

#include <sys/stat.h>

#include <filesystem>

namespace Cli_Vop31601 {
namespace {

namespace fs = std::filesystem;

bool isLost(const TransferError& error)
{
    return error.kind() == TransferError::Kind::ConnectionLost || error.kind() == TransferError::Kind::Cancelled;
}

} // namespace

std::optional<std::string> unsendableName(const std::string& name)
{
    if (name.find_first_of("\r\n") != std::string::npos)
        return "o nome contém quebra de linha";
    if (name.find_first_of("/\\") != std::string::npos)
        return "o nome contém separador de diretório";
    try {
        Platform::utf8ToCp1252(name);
    } catch (const std::exception& error) {
        return withoutFullStop(error.what());
    }
    return std::nullopt;
}

FolderUpload::FolderUpload(const TransferJob& job, TransferCrew& crew, CrewProgress& progress)
    : job_(job), crew_(crew), progress_(progress), base_(fs::path(job.uploadFolder).parent_path().string())
{
}

CrewTask FolderUpload::top() const
{
    CrewTask task;
    task.isDirectory = true;
    task.relative = fs::path(job_.uploadFolder).filename().string();
    task.depth = 1;
    return task;
}

std::string FolderUpload::localPath(const std::string& relative) const
{
    return (fs::path(base_) / fs::path(relative)).string();
}

void FolderUpload::perform(CrewLane& lane, const CrewTask& task)
{
    if (task.isDirectory)
        walk(lane, task);
    else
        send(lane, task);
}

bool FolderUpload::makeRemote(CrewLane& lane, const CrewTask& directory)
{
    lane.channel->enter(joinRemote(job_.directory, parentOf(directory.relative)));
    try {
        lane.channel->makeDir(leafOf(directory.relative));
        return true;
    } catch (const TransferError& refused) {
        if (isLost(refused))
            throw;
        // Refused because it is there already: it is used as it is.
        try {
            lane.channel->enter(joinRemote(job_.directory, directory.relative));
            return true;
        } catch (const TransferError& missing) {
            if (isLost(missing))
                throw;
        }
        crew_.fail(directory.relative + "/", "não foi possível criar o diretório no servidor ("
                                                 + withoutFullStop(refused.what()) + ")");
        return false;
    }
}

void FolderUpload::walk(CrewLane& lane, const CrewTask& directory)
{
    const std::string local = localPath(directory.relative);
    struct stat status {};
    if (::stat(local.c_str(), &status) != 0) {
        crew_.fail(directory.relative + "/", "a pasta não pode ser lida");
        return;
    }
    const std::uint64_t id = digestOf(status.st_dev, status.st_ino);
    if (walkedAbove(directory, id)) {
        crew_.log(lane, "\"" + local + "\" leva a uma pasta já percorrida acima dela: não é enviada de novo.");
        return;
    }
    if (!makeRemote(lane, directory))
        return;
    std::error_code error;
    fs::directory_iterator entries(local, fs::directory_options::skip_permission_denied, error);
    if (error) {
        crew_.fail(directory.relative + "/", "a pasta não pode ser lida (" + error.message() + ")");
        return;
    }
    const auto above = withBelow(directory, id);
    for (const fs::directory_entry& entry : entries) {
        const std::string name = entry.path().filename().string();
        CrewTask task;
        task.relative = below(directory.relative, name);
        task.depth = directory.depth + 1;
        task.above = above;
        if (const auto reason = unsendableName(name)) {
            crew_.fail(task.relative, *reason);
            continue;
        }
        std::error_code ignored;
        if (entry.is_directory(ignored)) {
            task.isDirectory = true;
            if (task.depth > kMaxTreeDepth)
                crew_.fail(task.relative + "/", "mais de " + std::to_string(kMaxTreeDepth) + " níveis de pastas: não foi enviada");
            else
                crew_.add(std::move(task));
        } else if (entry.is_regular_file(ignored)) {
            task.size = static_cast<std::int64_t>(entry.file_size(ignored));
            progress_.found(task.size);
            crew_.add(std::move(task));
        } else {
            crew_.fail(task.relative, "não é um arquivo comum");
        }
    }
}

void FolderUpload::send(CrewLane& lane, const CrewTask& file)
{
    lane.channel->enter(joinRemote(job_.directory, parentOf(file.relative)));
    const std::string name = leafOf(file.relative);
    try {
        sendResuming(*lane.channel, localPath(file.relative), name, crew_.resumeContext(lane));
    } catch (const TransferError& error) {
        progress_.carried(lane.index, 0);
        if (crew_.stopping()) {
            // What a stopped upload left of its file goes; the stop does not cut this short.
            if (lane.channel->uploadMayRemain()) {
                lane.cleaning = true;
                try {
                    lane.channel->remove(name);
                } catch (const std::exception&) {
                }
                lane.cleaning = false;
            }
            return;
        }
        if (isLost(error))
            throw;
        crew_.fail(file.relative, batchFailureReason(error));
        return;
    } catch (const Platform::LocalFileError& error) {
        progress_.carried(lane.index, 0);
        if (!crew_.stopping())
            crew_.fail(file.relative, withoutFullStop(error.what()));
        return;
    }
    ++written_;
    bytes_ += file.size;
    progress_.fileDone(lane.index, file.size);
    progress_.show(false);
}

} // namespace Cli_Vop31601
