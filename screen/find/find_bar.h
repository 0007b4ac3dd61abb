#pragma once

#include "platform/dataset/client_dataset.h"

#include <QFrame>
#include <QVariantMap>

#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;

namespace Cli_Vop31600 {

// The find bar under the file grid: what is typed becomes the file table's find filter (names that
// contain it, ignoring case and accents), with the count "N de M". Hidden until opened; closing it
// clears the filter.
class FindBar : public QFrame, public Platform::DataSetObserver {
    Q_OBJECT
public:
    // field: the one whose text is searched.
    FindBar(Platform::TClientDataSet& dataSet, const std::string& field, QWidget* parent);
    ~FindBar() override;

    QLineEdit* edtLocalizar = nullptr;
    QLabel* lblContagem = nullptr;
    QToolButton* btnFecharLocalizar = nullptr;

    // Shows the bar with its text selected and focused.
    void openBar();
    // Hides the bar and shows every row again; leaveFocus then runs.
    void closeBar();
    // The driver's dump: text, shown, total.
    QVariantMap state() const;

    // Where the focus goes when the bar closes or the user steps down into the rows.
    std::function<void()> leaveFocus;

    void dataSetChanged() override;
    void dataSetDestroyed() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateCount();

    Platform::TClientDataSet* dataSet_;
    bool countQueued_ = false;
};

} // namespace Cli_Vop31600
