#pragma once

#include "transfer/transfer_view.h"

#include <QObject>

#include <optional>
#include <string>
#include <utility>
#include <vector>

// A screen as the worker sees it: records what the worker asks and answers the save dialog as told.
class FakeView : public QObject, public Cli_Vop31601::TransferView {
public:
    std::optional<std::string> saveAnswer;
    std::vector<std::string> saveOffers;
    std::vector<std::pair<bool, bool>> states;
    std::optional<std::int64_t> max, position;
    std::string text;
    std::string batchReport;
    int ended = 0;

    std::optional<std::string> chooseSaveTarget(const std::string& offeredName) override
    {
        saveOffers.push_back(offeredName);
        return saveAnswer;
    }
    void enterTransferState(bool enable, bool idle) override { states.emplace_back(enable, idle); }
    void showProgress(const Cli_Vop31601::ProgressUpdate& update) override
    {
        if (update.max)
            max = update.max;
        if (update.text)
            text = *update.text;
        if (update.position)
            position = update.position;
    }
    void reportBatchFailures(const std::string& report) override { batchReport = report; }
    void transferEnded() override { ++ended; }
};
