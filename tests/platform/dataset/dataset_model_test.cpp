#include "platform/dataset/dataset_model.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>

using Platform::DataSetGridLink;
using Platform::DataSetModel;
using Platform::FieldType;
using Platform::TClientDataSet;

namespace {

std::string numbered(const char* prefix, int i)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%d", prefix, i);
    return text;
}

class Table {
public:
    Table()
    {
        ds.AddField("NAME", FieldType::String, 20, "Nome");
        ds.AddField("SIZE", FieldType::Float, 0, "Tamanho");
        ds.AddField("HIDDEN", FieldType::Boolean, 0, {}, false);
        ds.AddIndex("byName", "NAME", false);
        ds.SetIndexName("byName");
        ds.CreateDataSet();
    }

    void add(const std::string& name, std::optional<double> size)
    {
        ds.Insert();
        ds.FieldByName("NAME").SetAsString(name);
        if (size)
            ds.FieldByName("SIZE").SetAsFloat(*size);
        ds.FieldByName("HIDDEN").SetAsBoolean(name.size() > 1);
        ds.Post();
    }

    TClientDataSet ds;
};

} // namespace

TEST(DataSetModel, ShowsChosenColumnsInTheActiveOrderWithTitlesAndNames)
{
    Table t;
    t.add("b", 2);
    t.add("a", std::nullopt);
    DataSetModel model(t.ds, {"SIZE", "NAME"});
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), "a");
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "");
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "2");
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "Tamanho");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::UserRole).toString(), "NAME");
    EXPECT_EQ(model.columnOfField("name"), 1);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable);
    EXPECT_FALSE(model.data(model.index(5, 0)).isValid());

    const QVariantMap row = model.data(model.index(0, 0), Qt::UserRole).toMap();
    EXPECT_EQ(row.value("NAME").toString(), "a");
    EXPECT_TRUE(row.contains("SIZE"));
    EXPECT_FALSE(row.value("SIZE").isValid()); // null stays null
    EXPECT_EQ(row.value("HIDDEN").toBool(), false);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::UserRole).toMap().value("SIZE").toDouble(), 2.0);
}

TEST(DataSetModel, GetTextRunsOnlyForRowsAsked)
{
    Table t;
    for (int i = 0; i < 1000; ++i)
        t.add(numbered("n", i), i);
    int calls = 0;
    t.ds.FieldByName("SIZE").OnGetText = [&](const Platform::TField& f) {
        ++calls;
        return f.AsString() + " B";
    };
    DataSetModel model(t.ds, {"NAME", "SIZE"});
    EXPECT_EQ(model.rowCount(), 1000);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), "0 B");
    EXPECT_EQ(calls, 1);
}

TEST(DataSetModel, ManyChangesBecomeOneResetAndReadingFlushesAtOnce)
{
    Table t;
    DataSetModel model(t.ds, {"NAME"});
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    for (int i = 0; i < 500; ++i)
        t.add(numbered("x", i), i);
    EXPECT_TRUE(model.hasPendingChanges());
    EXPECT_EQ(model.rowCount(), 500); // code reading right after the change sees it
    EXPECT_EQ(resets.count(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(resets.count(), 1);

    t.ds.EmptyDataSet();
    t.add("y", 1);
    QCoreApplication::processEvents(); // the next event-loop turn applies it without a read
    EXPECT_EQ(resets.count(), 2);
    EXPECT_FALSE(model.hasPendingChanges());
}

TEST(DataSetModel, OutlivingItsDatasetIsSafe)
{
    auto t = std::make_unique<Table>();
    t->add("a", 1);
    DataSetModel model(t->ds, {"NAME"});
    t.reset();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.data(model.index(0, 0)).isValid());
}

TEST(DataSetGridLink, CursorAndViewFollowEachOther)
{
    Table t;
    for (const char* name : {"c", "a", "b"})
        t.add(name, 1);
    QTableView view;
    view.resize(300, 200);
    DataSetGridLink link(&view, t.ds, {"NAME", "SIZE"});
    view.show();
    std::vector<std::string> scrolled;
    t.ds.AfterScroll = [&](TClientDataSet& d) { scrolled.push_back(d.FieldByName("NAME").AsString()); };

    t.ds.First();
    EXPECT_EQ(view.currentIndex().row(), 0);
    EXPECT_TRUE(t.ds.Locate("NAME", "c", false));
    EXPECT_EQ(view.currentIndex().row(), 2);

    // A click in the view moves the cursor and fires the after-scroll event.
    const QRect cell = view.visualRect(link.model()->index(1, 0));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(t.ds.RecNo(), 2);
    EXPECT_EQ(t.ds.FieldByName("NAME").AsString(), "b");
    // The keyboard too.
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(t.ds.RecNo(), 1);
    EXPECT_EQ(scrolled, (std::vector<std::string>{"a", "c", "b", "a"}));
    EXPECT_EQ(view.selectionModel()->selectedRows().size(), 1);
}

TEST(DataSetGridLink, DisabledControlsStopTheViewFollowingUntilEnabled)
{
    Table t;
    for (const char* name : {"a", "b", "c"})
        t.add(name, 1);
    QTableView view;
    DataSetGridLink link(&view, t.ds, {"NAME"});
    t.ds.First();
    ASSERT_EQ(view.currentIndex().row(), 0);
    int scrolls = 0;
    t.ds.AfterScroll = [&](TClientDataSet&) { ++scrolls; };
    t.ds.DisableControls();
    t.ds.Last();
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(view.currentIndex().row(), 0);
    t.ds.EnableControls();
    EXPECT_EQ(view.currentIndex().row(), 2);
}

TEST(DataSetGridLink, ReorderingAndReloadingKeepTheViewOnTheCursorRow)
{
    Table t;
    for (const char* name : {"a", "b", "c"})
        t.add(name, 1);
    t.ds.AddIndex("byNameDesc", "NAME", true);
    QTableView view;
    DataSetGridLink link(&view, t.ds, {"NAME"});
    t.ds.Locate("NAME", "a", false);
    EXPECT_EQ(view.currentIndex().row(), 0);
    t.ds.SetIndexName("byNameDesc");
    link.sync();
    EXPECT_EQ(view.currentIndex().row(), 2);
    EXPECT_EQ(link.model()->data(link.model()->index(0, 0)).toString(), "c");

    t.ds.EmptyDataSet();
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.currentIndex().isValid());
    EXPECT_EQ(link.model()->rowCount(), 0);
}

TEST(DataSetGridLink, LargeTableUsesFixedRowHeightsAndScrolls)
{
    Table t;
    for (int i = 0; i < 100000; ++i)
        t.add(std::to_string(100000 + i), i);
    QTableView view;
    view.resize(400, 300);
    DataSetGridLink link(&view, t.ds, {"NAME", "SIZE"});
    view.show();
    EXPECT_EQ(view.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    t.ds.Last();
    EXPECT_EQ(view.currentIndex().row(), 99999);
    EXPECT_GT(view.verticalScrollBar()->value(), 0);
    view.verticalScrollBar()->setValue(50000);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.rowAt(0) >= 0, true);
}
