#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QListView>
#include <map>
#include <random>

#include "core/SteadyHash.h"
#include "core/UrlQueue.h"

// Through many growths of the table, with entries still moving from the old table to the new
// one, every look-up agrees with a plain map: removed keys stay removed, changed values stay
// changed.
TEST(SteadyHash, AgreesWithAPlainMapThroughEveryGrowth) {
    SteadyHash<QString, int> table;
    std::map<QString, int> plain;
    std::mt19937 random(7);
    const auto check = [&](const QString& key) {
        const auto it = plain.find(key);
        const int* found = table.find(key);
        ASSERT_EQ(found != nullptr, it != plain.end()) << qPrintable(key);
        if (found) ASSERT_EQ(*found, it->second) << qPrintable(key);
    };
    for (int step = 0; step < 200000; ++step) {
        const QString key = QString::number(random() % 30000);
        switch (random() % 4) {
            case 0:
            case 1:
                table.insert(key, step);
                plain[key] = step;
                break;
            case 2:
                table.remove(key);
                plain.erase(key);
                break;
            default:
                if (int* value = table.findForChange(key)) *value = -step;
                if (plain.count(key)) plain[key] = -step;
        }
        check(key);
        if (step % 20011 == 0)
            for (int k = 0; k < 30000; ++k) check(QString::number(k));
    }
    table.clear();
    EXPECT_FALSE(table.contains("1"));
}

// Appends reach the view once the event loop has run, as one insertion; the queue itself knows
// every entry at once; any other change first tells the view of what is pending, so the model
// never contradicts what the view was told.
TEST(UrlQueue, ViewHearsOfAppendsOnceTheLoopRunsAndTheQueueAtOnce) {
    UrlQueue q;
    QAbstractItemModelTester tester(&q, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QListView view;
    view.setModel(&q);
    view.setSelectionModel(q.selectionModel());
    for (int i = 0; i < 5000; ++i) q.append(QString::number(i));
    EXPECT_EQ(q.count(), 5000);
    EXPECT_TRUE(q.contains("4999"));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.model()->rowCount(), 5000);
    EXPECT_EQ(q.index(4999).data().toString(), "4999");

    q.append("late");
    q.setSelectedIndex(5000);  // a pending entry can be selected at once
    EXPECT_EQ(q.selectedText(), "late");
    q.append("gone");
    q.removeAt(0);
    EXPECT_EQ(view.model()->rowCount(), q.count());
    EXPECT_EQ(q.entry(q.count() - 1), "gone");

    q.append("before clear");
    q.clear();
    q.append("after");
    EXPECT_FALSE(q.contains("before clear"));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.model()->rowCount(), 1);
    EXPECT_EQ(q.index(0).data().toString(), "after");
    EXPECT_EQ(q.selectedIndex(), -1);
}

// The queue's selection is exact at once and follows removals; the view shows it once the loop
// has run; what the user selects in the view is the queue's selection at once.
TEST(UrlQueue, SelectionIsExactAtOnceAndTheViewsOnceTheLoopRuns) {
    UrlQueue q;
    QListView view;
    view.setModel(&q);
    view.setSelectionModel(q.selectionModel());
    q.appendAll({"a", "b", "c", "d"});
    q.setSelectedIndex(2);
    EXPECT_EQ(q.selectedText(), "c");
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.selectionModel()->isRowSelected(2, {}));
    q.removeAt(0);
    EXPECT_EQ(q.selectedText(), "c");
    q.removeAt(1);
    EXPECT_EQ(q.selectedIndex(), -1);
    view.selectionModel()->select(q.index(1), QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(q.selectedText(), "d");
    q.setSelectedIndex(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.selectionModel()->isRowSelected(0, {}));
    EXPECT_FALSE(view.selectionModel()->isRowSelected(1, {}));
}
