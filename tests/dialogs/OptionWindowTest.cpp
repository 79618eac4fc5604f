#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "ScriptedWindowSystem.h"
#include "core/basGlobal.h"
#include "dialogs/frmOption.h"

namespace {

const QString kCaptionTail = QStringLiteral("キロバイト以下のイメージファイルは削除する");

class OptionWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        gPictAutoDeleteSize = 2;  // as the start routine leaves it
        main.setEnabled(false);   // the main window disables itself before opening the dialog
        parts.window = &main;
    }
    void TearDown() override { delete dialog.data(); }

    frmOption* open() {
        dialog = new frmOption(parts, &main);
        dialog->show();
        return dialog;
    }
    // Clicks the delete-images option and answers its input box with `answer`.
    void enterLimit(const QString& answer) {
        ws.answerInput(answer);
        QTest::mouseClick(dialog->optImage[0], Qt::LeftButton);
    }
    bool imageOptionsChecked(bool first, bool second) const {
        return dialog->optImage[0]->isChecked() == first &&
               dialog->optImage[1]->isChecked() == second;
    }
    int messages() const {
        int n = 0;
        for (const ShownBox& box : ws.shown()) n += box.kind == ShownBox::Message;
        return n;
    }

    ScriptedWindowSystem ws;
    QWidget main;
    MainWindowParts parts;
    QPointer<frmOption> dialog;
};

TEST_F(OptionWindow, StartWithoutSettingsShowsBothDeleteOptions) {
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Site Rambler - オプション"));
    EXPECT_TRUE(dialog->isEnabled()) << "made while the main window is disabled";
    EXPECT_TRUE(dialog->optHTML[0]->isChecked());
    EXPECT_FALSE(dialog->optHTML[1]->isChecked());
    EXPECT_TRUE(imageOptionsChecked(true, false));
    EXPECT_EQ(dialog->optImage[0]->text(), QStringLiteral("2") + kCaptionTail);
    // Shown as delete, but the switches get a value only when the user picks an option.
    EXPECT_EQ(gHTMLAutoDelete, QString());
    EXPECT_EQ(gPictAutoDelete, QString());
    EXPECT_TRUE(ws.shown().empty());
    EXPECT_EQ(dialog->size(), QSize(394, 246));
    EXPECT_EQ(dialog->fraImage->geometry(), QRect(16, 112, 361, 81));
    EXPECT_EQ(dialog->optImage[1]->geometry(), QRect(16, 48, 329, 17));
}

TEST_F(OptionWindow, StoredKeepSwitchesSelectTheKeepOptions) {
    gHTMLAutoDelete = QStringLiteral("1");
    gPictAutoDelete = QStringLiteral("1");
    gPictAutoDeleteSize = 7;
    open();
    EXPECT_TRUE(dialog->optHTML[1]->isChecked());
    EXPECT_FALSE(dialog->optHTML[0]->isChecked());
    EXPECT_TRUE(imageOptionsChecked(false, true));
    EXPECT_EQ(dialog->optImage[0]->text(), QStringLiteral("7") + kCaptionTail);
    EXPECT_EQ(gHTMLAutoDelete, QStringLiteral("1"));
    EXPECT_EQ(gPictAutoDelete, QStringLiteral("1"));
    EXPECT_TRUE(ws.shown().empty()) << "the keep option asks nothing";
}

TEST_F(OptionWindow, PageOptionsSetTheSwitchAtOnce) {
    open();
    QTest::mouseClick(dialog->optHTML[1], Qt::LeftButton);
    EXPECT_EQ(gHTMLAutoDelete, QStringLiteral("1"));
    EXPECT_FALSE(dialog->optHTML[0]->isChecked());
    QTest::mouseClick(dialog->optHTML[0], Qt::LeftButton);
    EXPECT_EQ(gHTMLAutoDelete, QStringLiteral("0"));
    EXPECT_FALSE(dialog->optHTML[1]->isChecked());
}

TEST_F(OptionWindow, AcceptedLimitsAreStoredRounded) {
    const struct {
        const char* answer;
        int stored;
    } cases[] = {{"0", 0}, {"1000", 1000}, {"2.5", 2}, {"3.5", 4}, {" 15 ", 15}};
    for (const auto& c : cases) {
        gPictAutoDelete = QStringLiteral("1");
        gPictAutoDeleteSize = 9;
        open();
        ws.clearShown();
        enterLimit(QString::fromUtf8(c.answer));
        ASSERT_EQ(ws.shown().size(), 1u) << c.answer;
        const ShownBox& box = ws.shown()[0];
        EXPECT_EQ(box.kind, ShownBox::Input);
        EXPECT_EQ(box.text, QStringLiteral("削除するファイルのファイルサイズ上限"));
        EXPECT_EQ(box.title, QStringLiteral("ファイルの自動削除"));
        EXPECT_EQ(box.defaultText, QStringLiteral("9"));
        EXPECT_EQ(gPictAutoDelete, QStringLiteral("0")) << c.answer;
        EXPECT_EQ(gPictAutoDeleteSize, c.stored) << c.answer;
        EXPECT_EQ(dialog->optImage[0]->text(), QString::number(c.stored) + kCaptionTail);
        EXPECT_TRUE(imageOptionsChecked(true, false)) << c.answer;
        delete dialog.data();
    }
}

TEST_F(OptionWindow, RefusedLimitsShowTheInputErrorAndSelectNothing) {
    for (const char* answer : {"1001", "-1", "abc", "1000.6"}) {
        gPictAutoDelete = QStringLiteral("1");
        gPictAutoDeleteSize = 5;
        open();
        ws.clearShown();
        enterLimit(QString::fromUtf8(answer));
        ASSERT_EQ(ws.shown().size(), 2u) << answer;
        const ShownBox& box = ws.shown()[1];
        EXPECT_EQ(box.kind, ShownBox::Message);
        EXPECT_EQ(box.text, QStringLiteral("0 ～ 1000 までの数値を入力してください。"));
        EXPECT_EQ(box.title, QStringLiteral("入力エラー"));
        EXPECT_EQ(box.style, MB_OK | MB_ICONWARNING);
        EXPECT_TRUE(imageOptionsChecked(false, false)) << answer;
        EXPECT_EQ(gPictAutoDelete, QStringLiteral("1"));
        EXPECT_EQ(gPictAutoDeleteSize, 5);
        EXPECT_EQ(dialog->optImage[0]->text(), QStringLiteral("5") + kCaptionTail);
        delete dialog.data();
    }
    // From nothing selected, the keep option can still be chosen.
    gPictAutoDelete = QString();
    open();
    enterLimit(QStringLiteral("x"));
    QTest::mouseClick(dialog->optImage[1], Qt::LeftButton);
    EXPECT_TRUE(imageOptionsChecked(false, true));
    EXPECT_EQ(gPictAutoDelete, QStringLiteral("1"));
}

TEST_F(OptionWindow, TwelveDigitsAndCancelChangeNothingQuietly) {
    for (const char* answer : {"123456789012", ""}) {
        gPictAutoDelete = QStringLiteral("1");
        gPictAutoDeleteSize = 3;
        open();
        ws.clearShown();
        enterLimit(QString::fromUtf8(answer));
        EXPECT_EQ(messages(), 0) << answer;
        // Shows delete selected, yet the crawl still keeps every image.
        EXPECT_TRUE(imageOptionsChecked(true, false)) << answer;
        EXPECT_EQ(gPictAutoDelete, QStringLiteral("1")) << answer;
        EXPECT_EQ(gPictAutoDeleteSize, 3);
        EXPECT_EQ(dialog->optImage[0]->text(), QStringLiteral("3") + kCaptionTail);
        delete dialog.data();
    }
}

TEST_F(OptionWindow, ClickingTheSelectedDeleteOptionAsksForTheLimitAgain) {
    gPictAutoDelete = QStringLiteral("0");
    gPictAutoDeleteSize = 4;
    open();
    enterLimit(QStringLiteral("12"));
    ASSERT_EQ(ws.shown().size(), 1u);
    EXPECT_EQ(ws.shown()[0].defaultText, QStringLiteral("4"));
    EXPECT_EQ(gPictAutoDeleteSize, 12);
    enterLimit(QStringLiteral("20"));
    ASSERT_EQ(ws.shown().size(), 2u);
    EXPECT_EQ(ws.shown()[1].defaultText, QStringLiteral("12"));
    EXPECT_EQ(gPictAutoDeleteSize, 20);
}

TEST_F(OptionWindow, EveryWayOutEnablesTheMainWindowAndDeletesTheDialog) {
    open();
    QTest::mouseClick(dialog->cmdClose, Qt::LeftButton);
    EXPECT_TRUE(main.isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());

    main.setEnabled(false);
    open();
    dialog->close();  // the window's own close box
    EXPECT_TRUE(main.isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(OptionWindow, KeyboardSelectionRunsTheSameHandlers) {
    open();
    dialog->optHTML[0]->setFocus();
    QTest::keyClick(dialog->optHTML[1], Qt::Key_Space);
    EXPECT_EQ(gHTMLAutoDelete, QStringLiteral("1"));
    ws.answerInput(QStringLiteral("8"));
    QTest::keyClick(dialog->optImage[0], Qt::Key_Space);
    EXPECT_EQ(gPictAutoDeleteSize, 8);
    EXPECT_EQ(gPictAutoDelete, QStringLiteral("0"));
}

}  // namespace
