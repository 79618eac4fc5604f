#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "QtPrinters.h"
#include "widgets/QtWindowSystem.h"

namespace {

// Acts on the box once it is up: the box runs its own event loop.
void WhenBoxIsUp(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        act(box);
    });
}

QString DefaultButtonText(QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    return box && box->defaultButton() ? box->defaultButton()->text() : QString();
}

}  // namespace

TEST(QtWindowSystem, QuestionBoxesReturnTheButtonAndHonourTheDefault) {
    QtWindowSystem ws;
    QString defaultText;
    WhenBoxIsUp([&](QWidget* box) {
        defaultText = DefaultButtonText(box);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ws.MsgBox("q\rline", "t", 0x23), IDYES);
    EXPECT_EQ(defaultText, "はい(&Y)");

    WhenBoxIsUp([&](QWidget* box) {
        defaultText = DefaultButtonText(box);
        QTest::keyClick(box, Qt::Key_Return);
    });
    EXPECT_EQ(ws.MsgBox("q", "t", 0x123), IDNO);
    EXPECT_EQ(defaultText, "いいえ(&N)");

    WhenBoxIsUp([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(ws.MsgBox("q", "t", 0x23), IDCANCEL);
}

TEST(QtWindowSystem, MessageBoxesShowTextWithLineBreaksIconAndStayOnTopWhenSystemModal) {
    QtWindowSystem ws;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onTop = false;
    WhenBoxIsUp([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        text = box->text();
        icon = box->icon();
        onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_EQ(ws.MsgBox("a\r\rb\r\nc", "title", 0x1040), IDOK);
    EXPECT_EQ(text, "a\n\nb\nc");
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_TRUE(onTop);
    WhenBoxIsUp([&](QWidget* w) {
        icon = qobject_cast<QMessageBox*>(w)->icon();
        QTest::keyClick(w, Qt::Key_Return);
    });
    EXPECT_EQ(ws.MsgBox("e", "t", 0x10), IDOK);
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(QtWindowSystem, InputBoxReturnsTheTextOrEmptyOnCancel) {
    QtWindowSystem ws;
    WhenBoxIsUp([](QWidget* w) {
        auto* edit = w->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), "old");
        edit->setText("new");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(ws.InputBox("リンク", "Site Rambler", "old"), "new");
    WhenBoxIsUp([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    EXPECT_EQ(ws.InputBox("リンク", "Site Rambler", "old"), "");
}

TEST(QtWindowSystem, YieldRunsPendingEventsAndThrowsOnceTheProgramEnds) {
    QtWindowSystem ws;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    ws.YieldNow();
    EXPECT_TRUE(ran);
    ws.RequestEnd();
    EXPECT_THROW(ws.Yield(), ProgramEnding);
    EXPECT_FALSE(ws.YieldNoThrow());
}

// A crawl's own calls deliver events on the spot (a caption, an icon); they are no service of
// the window, and the time-sliced yields must still run the loop over what waits.
TEST(QtWindowSystem, EventsSentByTheWorkItselfDoNotStandInForAService) {
    QtWindowSystem ws;
    QWidget window;
    window.show();
    ws.YieldNow();
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    QElapsedTimer clock;
    clock.start();
    for (int step = 0; !ran && clock.elapsed() < 500; ++step) {
        window.setWindowTitle(QString::number(step));
        ws.Yield();
    }
    EXPECT_TRUE(ran);
    EXPECT_LT(ws.LongestGapMs(), 500);
}

namespace {
struct PaintedLabel : QLabel {
    QString painted;
    int paints = 0;
    void paintEvent(QPaintEvent* e) override {
        painted = text();
        ++paints;
        QLabel::paintEvent(e);
    }
};
}  // namespace

// A fast crawl changes the window at every step: inside yields it repaints at a pace, and the
// repaint held back is not lost, so the last change shows once the work stops.
TEST(QtWindowSystem, RepaintsInsideYieldsArePacedAndTheLastStateIsShown) {
    QtWindowSystem ws;
    PaintedLabel label;
    label.show();
    ws.YieldNow();
    QElapsedTimer clock;
    clock.start();
    label.paints = 0;
    int step = 0;
    while (clock.elapsed() < 300) {
        label.setText(QString::number(++step));
        ws.Yield();
    }
    EXPECT_LE(label.paints, 300 / 30 + 2);
    QTest::qWaitFor([&] { return label.painted == label.text(); }, 1000);
    EXPECT_EQ(label.painted, label.text());
}
