// The window's paints during a transfer: one a frame at most, none for a reload that changed
// nothing in view.
#include "platform/common/wait_hook.h"
#include "platform/widgets/frame_pacer.h"
#include "platform/widgets/status_bar.h"
#include "platform/widgets/unchanged_view_guard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QStringListModel>
#include <QTableView>
#include <QVBoxLayout>
#include <QTest>
#include <QPaintEvent>
#include <QDebug>

#include <gtest/gtest.h>

namespace {

class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;
    int layoutRequests = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest)
            ++layoutRequests;
        if (event->type() == QEvent::Paint) {
            ++paints;
            if (qEnvironmentVariableIsSet("PAINTDBG")) qWarning() << static_cast<QPaintEvent*>(event)->rect();
        }
        return false;
    }
};

// Changes the widget every 2 ms for span ms, serving events in between as a busy screen does.
void churn(QWidget& widget, int spanMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < spanMs) {
        widget.update();
        QTest::qWait(2);
    }
}

} // namespace

TEST(PacedPainting, ActivePacerPaintsOncePerFrameAndHoldsPaintsInsideAWait)
{
    QWidget window;
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    PaintCounter counter(&window);
    Platform::FramePacer pacer(&window, &window, std::chrono::milliseconds(40));

    churn(window, 200);
    const int unpaced = counter.paints;
    EXPECT_GT(unpaced, 20);  // inactive: a paint on every pass

    counter.paints = 0;
    pacer.setActive(true);
    churn(window, 200);
    EXPECT_GE(counter.paints, 2);
    EXPECT_LE(counter.paints, 7);  // 200 ms of 40 ms frames
    EXPECT_GT(pacer.held(), 0);

    // Inside a wait of the screen's client the held paint waits for the wait's end.
    QTest::qWait(60);
    counter.paints = 0;
    {
        Platform::GuiWaitScope waiting;
        churn(window, 60);
        EXPECT_EQ(counter.paints, 0);
    }
    QTest::qWait(60);
    EXPECT_EQ(counter.paints, 1);

    // Switched off, a held paint goes at once.
    window.update();
    QTest::qWait(1);
    pacer.setActive(false);
    QTest::qWait(1);
    const int afterOff = counter.paints;
    window.update();
    QTest::qWait(5);
    EXPECT_EQ(counter.paints, afterOff + 1);
}

TEST(PacedPainting, AReloadThatChangesNothingInViewDoesNotRepaintTheCells)
{
    QStringList rows;
    for (int i = 0; i < 200; ++i)
        rows << QString("linha %1").arg(i, 3, 10, QChar('0'));
    QStringListModel model(rows);
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->hide();
    view.resize(300, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setCurrentIndex(model.index(0, 0));
    QTest::qWait(20);
    PaintCounter counter(view.viewport());

    {
        Platform::UnchangedViewGuard guard(&view);
        model.setStringList(rows << "linha 999");  // a reset; the new row is far below the view
        view.setCurrentIndex(model.index(0, 0));    // the cursor back where it was, as the grid does
    }
    QTest::qWait(20);
    EXPECT_EQ(counter.paints, 0);

    {
        Platform::UnchangedViewGuard guard(&view);
        rows[0] = "linha nova";
        model.setStringList(rows);
        view.setCurrentIndex(model.index(0, 0));
    }
    QTest::qWait(20);
    EXPECT_GE(counter.paints, 1);
}

// A transfer's speed text changes many times a second: it repaints its own panel, lays out nothing
// and leaves the other panels alone, the status bar keeping the look it had.
TEST(PacedPainting, ANewPanelTextRepaintsThatPanelOnly)
{
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* bar = new Platform::TStatusBar(&window);
    column->addStretch();
    column->addWidget(bar);
    bar->AddPanel(200);
    bar->AddPanel(300);
    bar->AddPanel(50, true);
    window.resize(600, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(20);
    const QRect placed = bar->Panel(1)->geometry();
    PaintCounter atWindow(&window), atBar(bar), first(bar->Panel(0)), drawn(bar->Panel(2)), text(bar->Panel(1));

    for (int i = 0; i < 5; ++i) {
        bar->SetPanelText(1, QString("Velocidade: %1 KB/s").arg(1000 * (i + 1) + i));
        QTest::qWait(5);
    }
    EXPECT_GE(text.paints, 1);
    EXPECT_EQ(first.paints + drawn.paints, 0);
    EXPECT_EQ(atWindow.layoutRequests + atBar.layoutRequests, 0);
    EXPECT_EQ(bar->Panel(1)->geometry(), placed);
    EXPECT_EQ(bar->PanelText(1), "Velocidade: 5004 KB/s");
}
