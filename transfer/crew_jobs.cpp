// The jobs over several connections: the batch download (the rows shown, directories walked) and the
// folder upload, each sharing its work among the job's connections.
#include "transfer/transfer_worker.h"

#include "transfer/batch_report.h"
#include "transfer/crew_progress.h"
#include "transfer/folder_upload.h"
#include "transfer/progress_format.h"
#include "transfer/progress_reporter.h"
#include "transfer/transfer_channel.h"
#include "transfer/transfer_crew.h"
#include "transfer/tree_download.h"

namespace Cli_Vop31601 {
namespace {

const char* const downloadCompleteText = "Transferência Completa (%s Arquivos, %s Bytes Recebidos em %s Segundos).";
const char* const uploadCompleteText = "Transferência Completa (%s Arquivos, %s Bytes Enviados em %s Segundos).";

std::string keptText(int kept)
{
    if (kept == 0)
        return {};
    return kept == 1 ? " 1 arquivo existente mantido." : " " + std::to_string(kept) + " arquivos existentes mantidos.";
}

} // namespace

TransferCrew::Plan TThrCtrlArqXMLNFe::crewPlan()
{
    return {job_.connection, job_.directory, job_.connections, [this] { return Terminated(); }, FtpCliente,
            HttpCliente};
}

void TThrCtrlArqXMLNFe::downloadBatch()
{
    // Busy once for the whole batch: the listing reloads now and at the end, not per file.
    enterState(false, false);
    const auto start = std::chrono::steady_clock::now();
    CrewProgress progress(*progress_, job_.batchProgressText);
    TransferCrew crew(crewPlan(), progress);
    TreeDownload tree(job_, crew, progress);
    crew.open();
    crew.add(TreeDownload::top());
    crew.run([&tree](CrewLane& lane, const CrewTask& task) { tree.perform(lane, task); });
    finishCrew(crew, {downloadCompleteText, "baixar", tree.written(), tree.bytes(), tree.kept(), start});
}

void TThrCtrlArqXMLNFe::uploadFolder()
{
    // The listing reloads once, at the end.
    enterBusyState();
    const auto start = std::chrono::steady_clock::now();
    CrewProgress progress(*progress_, job_.batchProgressText);
    TransferCrew crew(crewPlan(), progress);
    FolderUpload folder(job_, crew, progress);
    crew.open();
    crew.add(folder.top());
    crew.run([&folder](CrewLane& lane, const CrewTask& task) { folder.perform(lane, task); });
    finishCrew(crew, {uploadCompleteText, "enviar", folder.written(), folder.bytes(), 0, start});
}

void TThrCtrlArqXMLNFe::finishCrew(const TransferCrew& crew, const CrewOutcome& outcome)
{
    if (Terminated())
        boCancelado = true;
    const std::string done = std::to_string(outcome.written) + (outcome.written == 1 ? " arquivo concluído" : " arquivos concluídos");
    if (const auto cause = crew.haltCause()) {
        // The message is shown at the end (cleanUp), with what was kept.
        failed_ = true;
        failure_ = withoutFullStop(*cause) + "; " + done + " mantidos na pasta";
    } else if (boCancelado) {
        progress_->setText(batchCancelledText(job_.messages[3], outcome.written));
    } else {
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - outcome.start).count();
        progress_->setText(formatMessage(outcome.completeText, {std::to_string(outcome.written), std::to_string(outcome.bytes),
                                                                formatElapsed(seconds, localeTimeSeparator())})
                           + keptText(outcome.kept));
    }
    progress_->setPosition(0);
    progress_->publish(true);
    const auto failures = crew.failures();
    if (failures.empty())
        return;
    const std::string report = batchFailureReport(failures, 20, outcome.action);
    Synchronize([this, &report] {
        if (TransferView* view = view_.get())
            view->reportBatchFailures(report);
    });
}

} // namespace Cli_Vop31601
