#include "dialogs/frmAbout.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "core/basGlobal.h"
#include "dialoglogic/AboutFade.h"
#include "widgets/Twips.h"

namespace {

constexpr int Px(int twips) {
    return twips / 15;
}

QRect Twips(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

const QColor kPanelColour(0, 64, 64);
// The fade keeps to the clock: about a second and a half whatever the display's speed. A tick
// paints the step that is due, passing over the ones a slow display had no time for.
constexpr int kFadeTickMs = 10;
constexpr qint64 kFadeDurationMs = 1500;

void SetGrey(QWidget* widget, QPalette::ColorRole role, int grey) {
    QPalette palette = widget->palette();
    palette.setColor(role, QColor(grey, grey, grey));
    widget->setPalette(palette);
}

void SelectWholeText(QLineEdit* box) {
    box->setSelection(0, static_cast<int>(box->text().size()));
}

}  // namespace

frmAbout::frmAbout(const MainWindowParts& parts, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      mMainWindow(parts.window) {
    setAttribute(Qt::WA_DeleteOnClose);
    // A window made while its parent is disabled starts out disabled as well.
    setEnabled(true);
    BuildControls();
    FixSizeAndCentre(this, 4575, 3075);
    mFadeTimer.setTimerType(Qt::PreciseTimer);
    mFadeTimer.setInterval(kFadeTickMs);
    connect(&mFadeTimer, &QTimer::timeout, this, &frmAbout::FadeStep);
    Form_Load();
}

void frmAbout::BuildControls() {
    Picture1 = new QFrame(this);
    Picture1->setGeometry(Twips(120, 120, 4335, 2415));
    Picture1->setAutoFillBackground(true);
    QPalette panel = Picture1->palette();
    panel.setColor(QPalette::Window, kPanelColour);
    Picture1->setPalette(panel);

    const int tops[4] = {240, 480, 960, 1200};
    for (int i = 0; i < 4; ++i) {
        lblTitle[i] = new QLabel(Picture1);
        lblTitle[i]->setGeometry(Twips(240, tops[i], 3855, 255));
        lblTitle[i]->setAlignment(Qt::AlignCenter);
    }
    lblTitle[2]->setText(QStringLiteral("Created By the Site Rambler developers"));
    lblTitle[3]->setText(QStringLiteral("in 2000"));

    txtMail = new QLineEdit(Picture1);
    txtMail->setGeometry(Twips(240, 1680, 3855, 270));
    txtURL = new QLineEdit(Picture1);
    txtURL->setGeometry(Twips(240, 1920, 3855, 270));
    for (QLineEdit* box : {txtMail, txtURL}) {
        // Flat on the panel: a framed box this low would cut its own text.
        box->setFrame(false);
        QPalette palette = box->palette();
        palette.setColor(QPalette::Base, kPanelColour);
        box->setPalette(palette);
        box->installEventFilter(this);
    }

    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setGeometry(Twips(1440, 2640, 1815, 375));
    connect(cmdClose, &QPushButton::clicked, this, &frmAbout::cmdClose_Click);
    setTabOrder(cmdClose, txtMail);
    setTabOrder(txtMail, txtURL);
    cmdClose->setFocus();
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("Site Rambler - アバウト"));
    SetTextColour(0);
    lblTitle[0]->setText(QStringLiteral("───  ") + QStringLiteral("Site Rambler") +
                         QStringLiteral("  ───"));
    lblTitle[1]->setText(QStringLiteral("Version ") + gVersion);
    txtMail->setText(gAboutMail);
    txtURL->setText(gAboutURL);
    show();
    // Painted step by step from the event loop rather than in one blocking loop: the window
    // has to be on screen to be seen fading, and a running crawl keeps going meanwhile.
    mFadeStep = 0;
    mPaintedGreys.clear();
    PaintFadeStep();
    mFadeClock.start();
    mFadeTimer.start();
}

void frmAbout::FadeStep() {
    constexpr int kLast = kAboutFadeSteps - 1;
    const qint64 due = qMin<qint64>(kLast, mFadeClock.elapsed() * kLast / kFadeDurationMs);
    if (due > mFadeStep) {
        mFadeStep = static_cast<int>(due);
        PaintFadeStep();
    }
    if (mFadeStep >= kLast) mFadeTimer.stop();
}

void frmAbout::PaintFadeStep() {
    const int grey = AboutFadeGrey(mFadeStep);
    SetTextColour(grey);
    mPaintedGreys.push_back(grey);
    repaint();
}

void frmAbout::SetTextColour(int grey) {
    for (QLabel* label : lblTitle) SetGrey(label, QPalette::WindowText, grey);
    SetGrey(txtMail, QPalette::Text, grey);
    SetGrey(txtURL, QPalette::Text, grey);
}

void frmAbout::txtMail_GotFocus() {
    SelectWholeText(txtMail);
}

void frmAbout::txtURL_GotFocus() {
    SelectWholeText(txtURL);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == txtMail || watched == txtURL)) {
        const bool mail = watched == txtMail;
        const auto run = [this, mail] { mail ? txtMail_GotFocus() : txtURL_GotFocus(); };
        // A click places the cursor after the focus has arrived, which would undo the
        // selection; select once the click has been handled.
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason)
            QTimer::singleShot(0, this, run);
        else
            run();
    }
    return QWidget::eventFilter(watched, event);
}

void frmAbout::cmdClose_Click() {
    EnableMainWindow();
    close();
}

void frmAbout::closeEvent(QCloseEvent* event) {
    mFadeTimer.stop();
    EnableMainWindow();
    event->accept();
}

void frmAbout::EnableMainWindow() {
    if (mMainWindow) mMainWindow->setEnabled(true);
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmAbout.cpp"
