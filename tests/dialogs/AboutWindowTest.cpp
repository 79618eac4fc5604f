#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "ScriptedWindowSystem.h"
#include "core/basGlobal.h"
#include "dialoglogic/AboutFade.h"
#include "dialogs/frmAbout.h"

namespace {

QColor TextColour(const QWidget* w, QPalette::ColorRole role) {
    return w->palette().color(role);
}

class AboutWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        gVersion = QStringLiteral("1.0.0");
        gAboutMail = QStringLiteral("siterambler@example.org");
        gAboutURL = QStringLiteral("https://siterambler.example.org/");
        main.setEnabled(false);
        parts.window = &main;
    }
    void TearDown() override { delete about.data(); }
    frmAbout* open() {
        about = new frmAbout(parts, &main);
        about->show();
        return about;
    }
    bool waitForFade() {
        return QTest::qWaitFor([this] { return about->fadeFinished(); }, 60000);
    }
    std::vector<QColor> textColours() const {
        std::vector<QColor> colours;
        for (QLabel* label : about->lblTitle)
            colours.push_back(TextColour(label, QPalette::WindowText));
        colours.push_back(TextColour(about->txtMail, QPalette::Text));
        colours.push_back(TextColour(about->txtURL, QPalette::Text));
        return colours;
    }

    ScriptedWindowSystem ws;
    QWidget main;
    MainWindowParts parts;
    QPointer<frmAbout> about;
};

TEST_F(AboutWindow, TextsAndColours) {
    open();
    EXPECT_EQ(about->windowTitle(), QStringLiteral("Site Rambler - アバウト"));
    EXPECT_TRUE(about->isEnabled()) << "made while the main window is disabled";
    EXPECT_EQ(about->lblTitle[0]->text(), QStringLiteral("───  Site Rambler  ───"));
    EXPECT_EQ(about->lblTitle[1]->text(), QStringLiteral("Version 1.0.0"));
    EXPECT_TRUE(about->lblTitle[2]->text().startsWith(QStringLiteral("Created By")));
    EXPECT_EQ(about->lblTitle[3]->text(), QStringLiteral("in 2000"));
    EXPECT_EQ(about->txtMail->text(), gAboutMail);
    EXPECT_EQ(about->txtURL->text(), gAboutURL);
    for (const QColor& c : textColours()) EXPECT_EQ(c, QColor(Qt::black)) << "fade starts black";
    const QColor teal(0, 64, 64);
    EXPECT_EQ(about->Picture1->palette().color(QPalette::Window), teal);
    EXPECT_EQ(about->txtMail->palette().color(QPalette::Base), teal);
    EXPECT_EQ(about->txtURL->palette().color(QPalette::Base), teal);
    EXPECT_EQ(about->size(), QSize(305, 205));
    EXPECT_EQ(about->Picture1->geometry(), QRect(8, 8, 289, 161));
    EXPECT_EQ(about->txtURL->geometry(), QRect(16, 128, 257, 18));
    EXPECT_EQ(about->cmdClose->geometry(), QRect(96, 176, 121, 25));
}

TEST_F(AboutWindow, EmptySettingsLeaveVersionAloneAndEmptyBoxes) {
    gVersion.clear();
    gAboutMail.clear();
    gAboutURL.clear();
    open();
    EXPECT_EQ(about->lblTitle[1]->text(), QStringLiteral("Version "));
    EXPECT_TRUE(about->txtMail->text().isEmpty());
    EXPECT_TRUE(about->txtURL->text().isEmpty());
}

TEST_F(AboutWindow, FadeGoesThroughTheGreyLevelsInOrderAndEndsWhite) {
    open();
    ASSERT_FALSE(about->paintedGreys().empty());
    EXPECT_EQ(about->paintedGreys().front(), 0);
    ASSERT_TRUE(waitForFade());
    const std::vector<int>& painted = about->paintedGreys();
    EXPECT_EQ(painted.back(), 255);
    // What was painted follows the fade's own sequence: levels may be passed over on a slow
    // display, never repeated out of order or invented.
    const std::vector<int> levels = AboutFadeGreys();
    size_t at = 0;
    for (int grey : painted) {
        while (at < levels.size() && levels[at] != grey) ++at;
        ASSERT_LT(at, levels.size()) << "grey " << grey << " is not next in the fade";
    }
    EXPECT_GT(painted.size(), 2u) << "a fade, not a jump";
    for (const QColor& c : textColours()) EXPECT_EQ(c, QColor(Qt::white));
}

TEST_F(AboutWindow, FocusStartsOnCloseAndEitherBoxSelectsItsWholeText) {
    open();
    QApplication::setActiveWindow(about);
    ASSERT_TRUE(QTest::qWaitForWindowActive(about));
    EXPECT_EQ(QApplication::focusWidget(), about->cmdClose);
    QTest::keyClick(about->cmdClose, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), about->txtMail);
    EXPECT_EQ(about->txtMail->selectedText(), gAboutMail);
    QTest::mouseClick(about->txtURL, Qt::LeftButton, {}, QPoint(20, 9));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), about->txtURL);
    EXPECT_EQ(about->txtURL->selectedText(), gAboutURL);
    // The handlers on their own do the same.
    about->txtMail->deselect();
    about->txtMail_GotFocus();
    EXPECT_EQ(about->txtMail->selectedText(), gAboutMail);
}

TEST_F(AboutWindow, EveryWayOutEnablesTheMainWindow) {
    open();
    QTest::mouseClick(about->cmdClose, Qt::LeftButton);  // in the middle of the fade
    EXPECT_TRUE(main.isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());

    main.setEnabled(false);
    open();
    ASSERT_TRUE(waitForFade());
    about->close();  // the window's own close control
    EXPECT_TRUE(main.isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
}

}  // namespace
