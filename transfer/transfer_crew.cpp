#include "transfer/transfer_crew.h"

#include "transfer/crew_progress.h"
#include "transfer/transfer_channel.h"

#include "platform/common/protocol_log.h"
#include "platform/common/wait_hook.h"
#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"

#include <algorithm>

namespace Cli_Vop31601 {
namespace {

// A directory's line in the report names it as one.
std::string shownName(const CrewTask& task) { return task.isDirectory ? task.relative + "/" : task.relative; }

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

CrewLane::~CrewLane() = default;

TransferCrew::TransferCrew(Plan plan, CrewProgress& progress)
    : plan_(std::move(plan)), progress_(progress), queue_(static_cast<std::size_t>(4 * kMaxConnections)),
      allowed_(std::clamp(plan_.connections, 1, kMaxConnections))
{
}

TransferCrew::~TransferCrew()
{
    halted_ = true;
    queue_.wakeAll();
    for (auto& thread : threads_)
        if (thread.joinable())
            thread.join();
}

std::string TransferCrew::laneName(int index) const
{
    const std::string number = index == 0 ? std::string() : " " + std::to_string(index + 1);
    if (plan_.profile.mode == TransferMode::Gateway)
        return "transferência" + number + " (gateway)";
    return "transferência" + number + " " + plan_.profile.ftp.host + ":" + std::to_string(plan_.profile.ftp.port);
}

std::unique_ptr<TransferChannel> TransferCrew::channelFor(CrewLane& lane)
{
    using Platform::TWorkMode;
    WorkHandlers handlers{
        [this, &lane](TWorkMode, std::int64_t) { progress_.carried(lane.index, 0); },
        [this, &lane](TWorkMode, std::int64_t count) {
            progress_.carried(lane.index, count);
            if (!stopping()) {
                progress_.show(false);
                return;
            }
            // Abandoned at once, as the single transfers are.
            if (*lane.ftp) {
                (*lane.ftp)->Abort();
                (*lane.ftp)->KillDataChannel();
            }
            if (*lane.http)
                (*lane.http)->Cancel();
        },
        [](TWorkMode) {},
        [this, &lane] { giveUpWaitingIfStopped(lane); }};
    FtpSide ftp{*lane.ftp, handlers, lane.logName};
    GatewaySide gateway{*lane.http, handlers, [this] { return stopping(); }};
    return makeTransferChannel(plan_.profile, plan_.directory, std::move(ftp), std::move(gateway));
}

void TransferCrew::open()
{
    CrewLane& own = lanes_.emplace_back();
    own.ftp = &plan_.ownFtp;
    own.http = &plan_.ownHttp;
    own.logName = laneName(0);
    own.channel = channelFor(own);
    own.channel->open();
    alive_ = 1;
}

void TransferCrew::run(const Perform& perform)
{
    {
        std::lock_guard lock(mutex_);
        perform_ = &perform;
        running_ = true;
    }
    grow();
    CrewLane& own = lanes_.front();
    laneLoop(own);
    for (;;) {
        std::vector<std::thread> started;
        {
            std::lock_guard lock(mutex_);
            started.swap(threads_);
            if (started.empty()) {
                running_ = false;
                break;
            }
        }
        for (auto& thread : started)
            thread.join();
    }
    own.channel->close();
}

void TransferCrew::add(CrewTask task)
{
    queue_.add(std::move(task));
    grow();
}

void TransferCrew::grow()
{
    std::lock_guard lock(mutex_);
    if (!running_ || stopping() || alive_ >= allowed_ || queue_.waiting() < 2)
        return;
    CrewLane& lane = lanes_.emplace_back();
    lane.index = static_cast<int>(lanes_.size()) - 1;
    lane.logName = laneName(lane.index);
    ++alive_;
    threads_.emplace_back([this, &lane] { runExtra(lane); });
}

void TransferCrew::runExtra(CrewLane& lane)
{
    try {
        lane.channel = channelFor(lane);
        lane.channel->open();
    } catch (const std::exception& error) {
        if (lane.channel)
            lane.channel->close();
        if (!stopping())
            retire(lane, std::nullopt, error.what());
        return;
    }
    laneLoop(lane);
    lane.channel->close();
}

void TransferCrew::laneLoop(CrewLane& lane)
{
    while (auto task = queue_.take([this] { return stopping(); })) {
        if (!performResuming(lane, *task, *perform_))
            return;
        queue_.finished();
    }
}

bool TransferCrew::performResuming(CrewLane& lane, const CrewTask& task, const Perform& perform)
{
    constexpr int kRedos = 2;
    for (int redo = 0;; ++redo) {
        try {
            perform(lane, task);
            return true;
        } catch (const TransferError& error) {
            if (stopping())
                return true;
            if (error.kind() != TransferError::Kind::ConnectionLost) {
                fail(shownName(task), error.what());
                return true;
            }
            try {
                if (redo < kRedos && reopenAfter(*lane.channel, error, resumeContext(lane)))
                    continue;
            } catch (const TransferError& again) {
                if (stopping())
                    return true;
                retire(lane, task, again.what());
                return false;
            }
            if (stopping())
                return true;
            retire(lane, task, error.what());
            return false;
        } catch (const std::exception& error) {
            if (!stopping())
                fail(shownName(task), error.what());
            return true;
        }
    }
}

void TransferCrew::retire(CrewLane& lane, std::optional<CrewTask> task, const std::string& cause)
{
    int left = 0;
    {
        std::lock_guard lock(mutex_);
        left = --alive_;
        allowed_ = std::max(left, 1);
    }
    if (left > 0) {
        log(lane, "Conexão encerrada (" + cause + "); a transferência segue com " + std::to_string(left)
                      + (left == 1 ? " conexão." : " conexões."));
        if (task)
            queue_.giveBack(std::move(*task));
        return;
    }
    // No connection left: what was not done fails, each named.
    log(lane, "Conexão encerrada (" + cause + "); nenhuma conexão restou.");
    const std::string reason = "conexão perdida (" + cause + ")";
    if (task) {
        fail(shownName(*task), reason);
        queue_.finished();
    }
    for (const CrewTask& rest : queue_.drain())
        fail(shownName(rest), reason);
}

void TransferCrew::fail(const std::string& relative, const std::string& reason)
{
    std::lock_guard lock(mutex_);
    failures_.emplace_back(relative, reason);
}

void TransferCrew::halt(const std::string& cause)
{
    {
        std::lock_guard lock(mutex_);
        if (!haltCause_)
            haltCause_ = cause;
    }
    halted_ = true;
    queue_.wakeAll();
}

bool TransferCrew::stopping() const { return halted_ || plan_.stopRequested(); }

void TransferCrew::giveUpWaitingIfStopped(const CrewLane& lane)
{
    if (!stopping() || lane.cleaning)
        return;
    std::int64_t seen = stopSeenNs_;
    if (seen == 0 && stopSeenNs_.compare_exchange_strong(seen, nowNs()))
        return;
    if (nowNs() - stopSeenNs_ > std::chrono::nanoseconds(std::chrono::milliseconds(100)).count())
        throw Platform::WaitCancelled();
}

ResumeContext TransferCrew::resumeContext(CrewLane& lane)
{
    return {[this] { return stopping(); }, [this, &lane](const std::string& text) { log(lane, text); },
            [this](const TransferError& error) {
                std::lock_guard lock(mutex_);
                return error.tooManySessions() && alive_ > 1;
            }};
}

void TransferCrew::log(const CrewLane& lane, const std::string& text) const
{
    Platform::ProtocolLog::instance().write(lane.logName, Platform::ProtocolLog::Kind::Info, text);
}

std::vector<std::pair<std::string, std::string>> TransferCrew::failures() const
{
    std::lock_guard lock(mutex_);
    return failures_;
}

std::optional<std::string> TransferCrew::haltCause() const
{
    std::lock_guard lock(mutex_);
    return haltCause_;
}

} // namespace Cli_Vop31601
