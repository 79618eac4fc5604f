// 巡回の詳細設定, opened from the options window's free corner: it shows the crawl settings,
// OK takes changes over, キャンセル drops them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include "ScriptedWindowSystem.h"
#include "core/CrawlOptions.h"
#include "core/basGlobal.h"
#include "dialogs/frmCrawlOptions.h"
#include "dialogs/frmOption.h"

namespace {

class CrawlOptionsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        main.setEnabled(false);
        parts.window = &main;
        options = new frmOption(parts, &main);
        options->show();
    }
    void TearDown() override {
        delete options.data();
        ResetGlobals();
    }
    frmCrawlOptions* openDetails() {
        QTest::mouseClick(options->cmdCrawlOptions, Qt::LeftButton);
        return options->findChild<frmCrawlOptions*>();
    }

    ScriptedWindowSystem ws;
    QWidget main;
    MainWindowParts parts;
    QPointer<frmOption> options;
};

}  // namespace

TEST_F(CrawlOptionsWindow, ButtonSitsInTheFreeCornerAndLeavesTheDesignedControls) {
    QPushButton* button = options->cmdCrawlOptions;
    EXPECT_EQ(button->text(), "詳細設定…");
    EXPECT_EQ(button->geometry(), QRect(16, 208, 129, 25));
    EXPECT_EQ(options->cmdClose->geometry(), QRect(248, 208, 129, 25));
    for (QWidget* designed :
         {static_cast<QWidget*>(options->fraHTML), static_cast<QWidget*>(options->fraImage),
          static_cast<QWidget*>(options->cmdClose)})
        EXPECT_FALSE(button->geometry().intersects(designed->geometry()));
    EXPECT_TRUE(QRect(QPoint(), options->size()).contains(button->geometry()));
    EXPECT_EQ(options->optHTML[1]->nextInFocusChain(), options->optHTML[0]);
}

TEST_F(CrawlOptionsWindow, ShowsTheSettingsOkTakesThemCancelDropsThem) {
    gCrawlOptions.connections = 4;
    gCrawlOptions.scope = CrawlScope::Folder;
    gCrawlOptions.delayMs = 500;
    frmCrawlOptions* details = openDetails();
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->windowTitle(), "巡回の詳細設定");
    EXPECT_TRUE(details->isVisible());
    EXPECT_EQ(details->spnConnections->value(), 4);
    EXPECT_EQ(details->cboScope->currentIndex(), 2);
    EXPECT_EQ(details->spnDelay->value(), 500);
    EXPECT_FALSE(details->chkNoRevisit->isChecked());
    EXPECT_TRUE(details->chkArchive->isChecked());

    details->chkNoRevisit->setChecked(true);
    details->cboScope->setCurrentIndex(1);
    details->chkRobots->setChecked(true);
    details->chkArchive->setChecked(false);
    QTest::mouseClick(details->cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(gCrawlOptions.noRevisit);
    EXPECT_EQ(gCrawlOptions.scope, CrawlScope::Folder);

    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    details = openDetails();
    ASSERT_NE(details, nullptr);
    details->chkNoRevisit->setChecked(true);
    details->cboScope->setCurrentIndex(1);
    details->chkSkipKnown->setChecked(true);
    details->chkSkipSimilar->setChecked(true);
    details->spnDelay->setValue(1200);
    details->spnConnections->setValue(1);
    details->chkRobots->setChecked(true);
    details->chkArchive->setChecked(false);
    details->spnRetries->setValue(3);
    details->txtUserAgent->setText(" Gallery/2 ");
    details->txtCookieFile->setText("/tmp/cookies.txt");
    EXPECT_EQ(details->cmdCookieFile->text(), "参照…");
    QTest::mouseClick(details->cmdOK, Qt::LeftButton);
    CrawlOptions expected;
    expected.retries = 3;
    expected.userAgent = "Gallery/2";
    expected.cookieFile = "/tmp/cookies.txt";
    expected.connections = 1;
    expected.noRevisit = true;
    expected.scope = CrawlScope::Host;
    expected.skipKnown = true;
    expected.skipSimilar = true;
    expected.delayMs = 1200;
    expected.robots = true;
    expected.archive = false;
    EXPECT_TRUE(gCrawlOptions == expected);
    // the options window's own settings are untouched by it
    EXPECT_EQ(gHTMLAutoDelete, "");
}
