// The worker's work-event handlers: progress bar, speed read-out, completion and cancellation texts.
// They run on the worker thread inside the client's transfer call and never wait on the GUI.
#include "transfer/transfer_worker.h"

#include "transfer/transfer_globals.h"
#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"

#include "platform/ftp/id_ftp.h"
#include "platform/http/id_http.h"

namespace Cli_Vop31601 {
namespace {

using Cli_Vop31600::averageSpeedNow;
using Cli_Vop31600::setAverageSpeed;

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

void TThrCtrlArqXMLNFe::workBegin(std::int64_t expected)
{
    DtInicio = std::chrono::steady_clock::now();
    transferBytes_ = expected > 0 ? expected : InTamanho;
    progress_->setMax(transferBytes_);
    progress_->publish(true);
    setAverageSpeed(0.0);
}

// Returns false when the transfer is to stop (termination requested).
bool TThrCtrlArqXMLNFe::workProgress(Platform::TWorkMode mode, std::int64_t count)
{
    if (Terminated()) {
        boCancelado = true;
        return false;
    }
    double speed = 0.0;
    if (averageSpeed(count, secondsSince(DtInicio), speed))
        setAverageSpeed(speed);
    const std::string speedText = formatSpeed(averageSpeedNow(), localeDecimalSeparator());
    if (mode == Platform::TWorkMode::wmRead)
        progress_->setText(job_.messages[0] + speedText);
    else
        progress_->setText(formatMessage(job_.messages[1], {speedText, std::to_string(InArquivoAtual),
                                                         std::to_string(InQtdArquivos)}));
    progress_->setPosition(count);
    progress_->publish(false);
    return true;
}

void TThrCtrlArqXMLNFe::workEnd(Platform::TWorkMode /*mode*/)
{
    if (boCancelado) {
        progress_->setText(job_.messages[3]);
    } else {
        const std::string elapsed = formatElapsed(secondsSince(DtInicio), localeTimeSeparator());
        progress_->setText(formatMessage(job_.messages[2], {std::to_string(InTamanho > 0 ? InTamanho : transferBytes_), elapsed}));
    }
    InTamanho = 0;
    progress_->setPosition(0);
    progress_->publish(true);
    setAverageSpeed(0.0);
}

void TThrCtrlArqXMLNFe::IdFTPWorkBegin(Platform::TWorkMode /*mode*/, std::int64_t expected)
{
    carried_ = 0;
    workBegin(expected);
}

void TThrCtrlArqXMLNFe::_IdFTPWork(Platform::TWorkMode mode, std::int64_t count)
{
    carried_ = count;
    if (!workProgress(mode, count) && FtpCliente) {
        // Over FTP the transfer is abandoned at once: abort, then drop the data connection.
        FtpCliente->Abort();
        FtpCliente->KillDataChannel();
    }
}

void TThrCtrlArqXMLNFe::IdFTPWorkEnd(Platform::TWorkMode mode)
{
    // The completion text states what was carried, not what was announced.
    InTamanho = carried_;
    workEnd(mode);
}

void TThrCtrlArqXMLNFe::_IdHttpWorkBegin(Platform::TWorkMode /*mode*/, std::int64_t expected) { workBegin(expected); }

void TThrCtrlArqXMLNFe::_IdHTTPWork(Platform::TWorkMode mode, std::int64_t count)
{
    // The completion text states what was carried, whatever the server announced.
    transferBytes_ = count;
    // Over the gateway too the transfer is abandoned at once; the client's own poll of the
    // termination request covers a server that stalls between blocks.
    if (!workProgress(mode, count) && HttpCliente)
        HttpCliente->Cancel();
}

void TThrCtrlArqXMLNFe::_IdHttpPWorkEnd(Platform::TWorkMode mode)
{
    // An abort heard by the client's poll, between two blocks, comes here before any work event.
    if (Terminated())
        boCancelado = true;
    workEnd(mode);
}

} // namespace Cli_Vop31601
