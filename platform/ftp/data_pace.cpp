#include "platform/ftp/data_pace.h"

#include "platform/ftp/ftp_errors.h"

namespace Platform {

[[noreturn]] void dataTimeout()
{
    throw FtpTimeout("Tempo esgotado na conexão de dados com o servidor FTP.");
}

[[noreturn]] void dataBroken(const std::string& why)
{
    throw FtpDataLost("A conexão de dados com o servidor FTP foi interrompida (" + why + ").");
}

DataPace::DataPace(const FtpDataChannel::Tick& tick, const WaitHook& hook, std::chrono::milliseconds timeout)
    : tick_(tick), pacer_(hook), timeout_(timeout), last_(std::chrono::steady_clock::now()),
      next_(last_ + FtpDataChannel::kTick)
{
}

void DataPace::moved(std::size_t count)
{
    last_ = std::chrono::steady_clock::now();
    due(last_, count);
    pacer_.serveIfDue();
}

void DataPace::idle(std::size_t count)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ >= timeout_)
        dataTimeout();
    due(now, count);
    pacer_.serveIfDue();
}

void DataPace::due(std::chrono::steady_clock::time_point now, std::size_t count)
{
    if (!tick_ || now < next_)
        return;
    next_ = now + FtpDataChannel::kTick;
    tick_(count);
}

} // namespace Platform
