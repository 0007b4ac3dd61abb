// The commands of the automation script, each done as a user would do it.
#include "host/script_runner.h"

#include "host/event_wait.h"
#include "host/module_host.h"
#include "host/screen_access.h"
#include "host/state_dump.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <iostream>

namespace Host {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace

QWidget* ScriptRunner::screen() const
{
    QWidget* found = findScreen(area_);
    if (!found)
        fail(QStringLiteral("no screen is open"));
    return found;
}

QTableView* ScriptRunner::grid() const
{
    QTableView* view = findGrid(screen());
    if (!view || !view->model())
        fail(QStringLiteral("the screen has no grid '%1'").arg(QLatin1String(gridObjectName)));
    return view;
}

void ScriptRunner::open()
{
    modules_.open();
}

void ScriptRunner::close()
{
    QMdiSubWindow* sub = subWindowOf(screen());
    if (!sub)
        fail(QStringLiteral("the screen is not inside an MDI child window"));
    // The form may refuse (a transfer runs and the user says No); that is not a script failure.
    sub->close();
}

void ScriptRunner::click(const std::string& objectName)
{
    auto* button = screen()->findChild<QAbstractButton*>(qs(objectName));
    if (!button)
        fail(QStringLiteral("no button '%1' on the screen").arg(qs(objectName)));
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
}

void ScriptRunner::key(const std::string& sequence)
{
    QWidget* form = screen();
    if (QMdiSubWindow* sub = subWindowOf(form))
        area_->setActiveSubWindow(sub);
    QWidget* top = form->window();
    top->activateWindow();
    if (!QTest::qWaitForWindowActive(top, 5000))
        fail(QStringLiteral("the host window did not become active for '%1'").arg(qs(sequence)));
    // The form's focus proxy is the grid: shortcuts scoped to the form fire only with focus inside it.
    form->setFocus(Qt::OtherFocusReason);
    QWidget* focus = QApplication::focusWidget();
    if (!focus || (focus != form && !form->isAncestorOf(focus)))
        fail(QStringLiteral("the screen could not take the keyboard focus for '%1'").arg(qs(sequence)));
    // Keys go where a user's would: to the focused widget (the grid), which also lets shortcuts fire.
    QTest::keySequence(focus, QKeySequence::fromString(qs(sequence), QKeySequence::PortableText));
}

void ScriptRunner::type(const std::string& text)
{
    QWidget* form = screen();
    QWidget* top = form->window();
    top->activateWindow();
    if (!QTest::qWaitForWindowActive(top, 5000))
        fail(QStringLiteral("the host window did not become active to type '%1'").arg(qs(text)));
    // Unlike `key`, the focus stays where the screen put it (the find bar's text after Ctrl+F).
    QWidget* focus = QApplication::focusWidget();
    if (!focus || (focus != form && !form->isAncestorOf(focus)))
        fail(QStringLiteral("no widget of the screen has the focus to type '%1'").arg(qs(text)));
    QTest::keyClicks(focus, qs(text));
}

void ScriptRunner::selectRow(long long row)
{
    QTableView* view = grid();
    const int rows = view->model()->rowCount();
    if (row < 0 || row >= rows)
        fail(QStringLiteral("row %1 is out of range: the grid shows %2 rows").arg(row).arg(rows));
    const int column = view->currentIndex().isValid() ? view->currentIndex().column()
                                                      : view->horizontalHeader()->logicalIndex(0);
    view->setCurrentIndex(view->model()->index(static_cast<int>(row), std::max(column, 0)));
}

void ScriptRunner::selectName(const std::string& name)
{
    QTableView* view = grid();
    const QAbstractItemModel* model = view->model();
    const QString wanted = qs(name);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QVariantMap fields = model->data(model->index(row, 0), Qt::UserRole).toMap();
        if (fields.value(QStringLiteral("DSNOME")).toString() == wanted) {
            selectRow(row);
            return;
        }
    }
    fail(QStringLiteral("no row named '%1' in the grid").arg(wanted));
}

void ScriptRunner::doubleClick()
{
    QTableView* view = grid();
    const QModelIndex index = view->currentIndex();
    if (!index.isValid())
        fail(QStringLiteral("no current row to double-click"));
    view->scrollTo(index);
    const QRect cell = view->visualRect(index);
    if (cell.isEmpty())
        fail(QStringLiteral("the current row is not visible in the grid"));
    // An item view needs the click before the double-click, as a real mouse sends them.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
}

void ScriptRunner::title(const std::string& field)
{
    QTableView* view = grid();
    QHeaderView* header = view->horizontalHeader();
    const QString wanted = qs(field);
    for (int section = 0; section < header->count(); ++section) {
        if (view->model()->headerData(section, Qt::Horizontal, Qt::UserRole).toString() != wanted)
            continue;
        if (header->isSectionHidden(section))
            fail(QStringLiteral("the column of %1 is hidden").arg(wanted));
        // A user scrolls a column into view before clicking its title; that needs a row to scroll to.
        if (view->model()->rowCount() > 0)
            view->scrollTo(view->model()->index(std::max(view->currentIndex().row(), 0), section));
        const QPoint centre(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                            header->height() / 2);
        if (!header->viewport()->rect().contains(centre))
            fail(QStringLiteral("the title of %1 is outside the grid's visible area").arg(wanted));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
        return;
    }
    fail(QStringLiteral("no grid column shows %1").arg(wanted));
}

void ScriptRunner::waitIdle(long long limitMs)
{
    // Also the worker of a screen that was closed and waits for it to end, and a summary's reading.
    auto idle = [this] {
        for (QWidget* form : allScreens(area_))
            if (transferRunning(form) || summaryReading(form))
                return false;
        return true;
    };
    if (!serveEventsUntil(idle, limitMs))
        fail(QStringLiteral("a transfer or a summary's reading still runs after %1 ms").arg(limitMs));
}

void ScriptRunner::waitProgress(long long limitMs)
{
    // A transfer is under way and its progress bar has moved: a moment a test can act on.
    auto moved = [this] {
        QWidget* form = findScreen(area_);
        if (!form || !transferRunning(form))
            return false;
        const QVariantMap progress = screenState(form).value(QStringLiteral("progress")).toMap();
        return progress.value(QStringLiteral("position")).toLongLong() > 0;
    };
    if (!serveEventsUntil(moved, limitMs, 5))
        fail(QStringLiteral("no transfer made progress within %1 ms").arg(limitMs));
}

void ScriptRunner::waitStatus(const std::string& text, long long limitMs)
{
    auto shown = [this, &text] {
        QWidget* form = findScreen(area_);
        if (!form)
            return false;
        const QVariantList panels = screenState(form).value(QStringLiteral("status")).toList();
        return panels.size() > 1 && panels[1].toString().contains(qs(text));
    };
    if (!serveEventsUntil(shown, limitMs, 5))
        fail(QStringLiteral("the status never showed '%1' within %2 ms").arg(qs(text)).arg(limitMs));
}

void ScriptRunner::wait(long long ms) { serveEventsFor(ms); }

void ScriptRunner::dump(const std::string& file)
{
    // The globals exist from the moment the module loads, so a dump before `open` loads it.
    const std::string line = dumpLine(stateDump(area_, modules_.module(), prompts_));
    if (file.empty()) {
        std::cout << line << std::flush;
        return;
    }
    QFile out(qs(file));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(line.data(), qint64(line.size())) < 0)
        fail(QStringLiteral("cannot write the dump to %1: %2").arg(qs(file), out.errorString()));
}

} // namespace Host
