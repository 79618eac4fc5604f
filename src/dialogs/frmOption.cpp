#include "dialogs/frmOption.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "core/basGlobal.h"
#include "dialogs/frmCrawlOptions.h"
#include "dialoglogic/OptionRules.h"
#include "core/WindowSystem.h"
#include "widgets/Twips.h"

namespace {

constexpr int Px(int twips) {
    return twips / 15;
}

QRect Twips(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

}  // namespace

frmOption::frmOption(const MainWindowParts& parts, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      mMainWindow(parts.window) {
    setAttribute(Qt::WA_DeleteOnClose);
    // A window made while its parent is disabled starts out disabled as well; this one is the
    // window the user works in while the main window waits.
    setEnabled(true);
    BuildControls();
    FixSizeAndCentre(this, 5910, 3690);
    cmdClose->setFocus();
    Form_Load();
}

void frmOption::BuildControls() {
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setGeometry(Twips(3720, 3120, 1935, 375));

    fraHTML = new QGroupBox(QStringLiteral("ＨＴＭＬ"), this);
    fraHTML->setGeometry(Twips(240, 240, 5415, 1215));
    optHTML[1] =
        new QRadioButton(QStringLiteral("ダウンロードしたＨＴＭＬファイルを保存する"), fraHTML);
    optHTML[1]->setGeometry(Twips(240, 720, 4935, 255));
    optHTML[0] =
        new QRadioButton(QStringLiteral("ダウンロードしたＨＴＭＬファイルを削除する"), fraHTML);
    optHTML[0]->setGeometry(Twips(240, 360, 4935, 255));

    fraImage = new QGroupBox(QStringLiteral("イメージファイル"), this);
    fraImage->setGeometry(Twips(240, 1680, 5415, 1215));
    optImage[0] = new QRadioButton(ImageOptionCaption(0), fraImage);
    optImage[0]->setGeometry(Twips(240, 360, 4935, 255));
    optImage[1] = new QRadioButton(QStringLiteral("全てのイメージファイルを保存する"), fraImage);
    optImage[1]->setGeometry(Twips(240, 720, 4935, 255));

    // The selection the window was drawn with; it stands until the load step or the user
    // changes it, and does not touch the settings by itself.
    optHTML[0]->setChecked(true);
    optImage[0]->setChecked(true);

    setTabOrder(cmdClose, optHTML[1]);
    setTabOrder(optHTML[1], optHTML[0]);
    setTabOrder(optHTML[0], optImage[0]);
    setTabOrder(optImage[0], optImage[1]);

    connect(cmdClose, &QPushButton::clicked, this, &frmOption::cmdClose_Click);

    // In the free corner left of 閉じる; last in the tab order, after the designed controls.
    cmdCrawlOptions = new QPushButton(QStringLiteral("詳細設定…"), this);
    cmdCrawlOptions->setGeometry(Twips(240, 3120, 1935, 375));
    connect(cmdCrawlOptions, &QPushButton::clicked, this, &frmOption::cmdCrawlOptions_Click);
    for (int i = 0; i < 2; ++i) {
        // clicked, not toggled: a click on the already selected delete-images option asks for
        // the limit again, which is the direct way to change it.
        connect(optHTML[i], &QRadioButton::clicked, this, [this, i] { optHTML_Click(i); });
        connect(optImage[i], &QRadioButton::clicked, this, [this, i] { optImage_Click(i); });
    }
}

void frmOption::Form_Load() {
    if (OptionIndexForSwitch(gHTMLAutoDelete) == 1) {
        optHTML[1]->setChecked(true);
        optHTML_Click(1);
    }
    optImage[0]->setText(ImageOptionCaption(gPictAutoDeleteSize));
    if (OptionIndexForSwitch(gPictAutoDelete) == 1) {
        optImage[1]->setChecked(true);
        optImage_Click(1);
    }
    setWindowTitle(QStringLiteral("Site Rambler - オプション"));
}

void frmOption::optHTML_Click(int index) {
    gHTMLAutoDelete = SwitchForOptionIndex(index);
}

void frmOption::optImage_Click(int index) {
    if (index != 0) {
        gPictAutoDelete = SwitchForOptionIndex(index);
        return;
    }
    QPointer<frmOption> self(this);
    const QString answer =
        ws().InputBox(QStringLiteral("削除するファイルのファイルサイズ上限"),
                      QStringLiteral("ファイルの自動削除"), QString::number(gPictAutoDeleteSize));
    if (!self) return;
    const LimitAnswer judged = JudgeLimitAnswer(answer);
    switch (judged.kind) {
        case LimitAnswer::Cancelled:
        case LimitAnswer::Failed:
            optImage[0]->setChecked(true);
            return;
        case LimitAnswer::InputError:
            ws().MsgBox(QStringLiteral("0 ～ 1000 までの数値を入力してください。"),
                        QStringLiteral("入力エラー"), MB_OK | MB_ICONWARNING);
            if (self) ClearDeleteImagesOption();
            return;
        case LimitAnswer::Accepted:
            optImage[0]->setChecked(true);
            gPictAutoDelete = SwitchForOptionIndex(0);
            gPictAutoDeleteSize = judged.value;
            optImage[0]->setText(ImageOptionCaption(judged.value));
            return;
    }
}

// Leaves neither image option selected: the refused limit must not look chosen.
void frmOption::ClearDeleteImagesOption() {
    optImage[0]->setAutoExclusive(false);
    optImage[0]->setChecked(false);
    optImage[0]->setAutoExclusive(true);
}

void frmOption::cmdCrawlOptions_Click() {
    auto* window = new frmCrawlOptions(this);
    window->setWindowModality(Qt::WindowModal);
    window->show();
}

void frmOption::cmdClose_Click() {
    EnableMainWindow();
    close();
}

void frmOption::closeEvent(QCloseEvent* event) {
    EnableMainWindow();
    event->accept();
}

void frmOption::EnableMainWindow() {
    if (mMainWindow) mMainWindow->setEnabled(true);
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmOption.cpp"
