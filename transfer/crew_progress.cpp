#include "transfer/crew_progress.h"

#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"
#include "transfer/transfer_globals.h"

#include <algorithm>

namespace Cli_Vop31601 {

CrewProgress::CrewProgress(ProgressReporter& reporter, std::string text)
    : reporter_(reporter), text_(std::move(text)), start_(std::chrono::steady_clock::now())
{
    Cli_Vop31600::setAverageSpeed(0.0);
}

void CrewProgress::found(std::int64_t bytes)
{
    ++filesFound_;
    bytesFound_ += std::max<std::int64_t>(bytes, 0);
}

void CrewProgress::carried(int lane, std::int64_t bytes) { carried_[static_cast<std::size_t>(lane)] = bytes; }

void CrewProgress::fileDone(int lane, std::int64_t bytes)
{
    bytesDone_ += bytes;
    carried_[static_cast<std::size_t>(lane)] = 0;
    ++filesDone_;
}

void CrewProgress::show(bool force)
{
    std::int64_t position = bytesDone_;
    for (const auto& running : carried_)
        position += running;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    double speed = 0.0;
    if (averageSpeed(position, seconds, speed))
        Cli_Vop31600::setAverageSpeed(speed);
    const std::string speedText = formatSpeed(Cli_Vop31600::averageSpeedNow(), localeDecimalSeparator());
    reporter_.setMax(std::max<std::int64_t>(bytesFound_, position));
    reporter_.setText(formatMessage(text_, {speedText, std::to_string(filesDone_), std::to_string(filesFound_)}));
    reporter_.setPosition(position);
    reporter_.publish(force);
}

} // namespace Cli_Vop31601
