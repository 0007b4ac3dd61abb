#pragma once

#include "screen/summary/summary_reader.h"
#include "screen/summary/summary_text.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <memory>
#include <vector>

class QMenu;

namespace Cli_Vop31600 {

class SummaryWindow;
class TfrmCtrlArqXMLNFe;

// "Resumo do diretório" (Ctrl+R, the grid's menu) over the rows shown: the reading in the background
// over a connection of its own, its window, the export. The screen stays usable meanwhile; nothing of
// it shows while the summary is not in use (the window is made when first opened and goes when closed).
class SummaryControl : public QObject {
    Q_OBJECT
public:
    explicit SummaryControl(TfrmCtrlArqXMLNFe& form);
    ~SummaryControl() override;

    // Opens the window over the XML files shown now and reads them; while a reading runs, raises it.
    void open();
    // The screen or the window closes: the reading stops, and is waited for (a wait slice, or the
    // parse of the file at hand), so that no reader outlives the screen.
    void stop();
    // From the start of a reading until the window has shown its end.
    bool reading() const { return static_cast<bool>(reader_); }
    // The driver's "resumo": null while the window is closed.
    QVariant state() const;

private:
    std::vector<ListedFile> listedFiles() const;
    SummarySource source() const;
    void progressArrived();
    void abort();
    void exportCsv();
    void windowClosed();

    TfrmCtrlArqXMLNFe& form_;
    QPointer<SummaryWindow> window_;
    std::shared_ptr<SummaryReader> reader_;
    std::vector<Nfe::FileFacts> facts_;
    SummaryText::ReadingState state_;
    QElapsedTimer sinceTable_;
};

} // namespace Cli_Vop31600
