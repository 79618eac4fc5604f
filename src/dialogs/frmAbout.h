#pragma once
// The About box: title, version, credit and the maker's addresses, fading in from black to
// white on a dark teal panel. It deletes itself when closed and enables the main window again
// however it closes.

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <vector>

#include "widgets/MainWindowParts.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

class frmAbout : public QWidget {
    Q_OBJECT
public:
    explicit frmAbout(const MainWindowParts& parts, QWidget* parent = nullptr);

    QFrame* Picture1 = nullptr;
    std::array<QLabel*, 4> lblTitle{};
    QLineEdit* txtMail = nullptr;
    QLineEdit* txtURL = nullptr;
    QPushButton* cmdClose = nullptr;

    void Form_Load();
    void cmdClose_Click();
    void txtMail_GotFocus();
    void txtURL_GotFocus();

    bool fadeFinished() const { return !mFadeTimer.isActive(); }
    // The grey levels painted so far, in order: a part of the fade's levels, from black to white.
    const std::vector<int>& paintedGreys() const { return mPaintedGreys; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void SetTextColour(int grey);
    void FadeStep();
    void PaintFadeStep();
    void EnableMainWindow();

    QPointer<QWidget> mMainWindow;
    QTimer mFadeTimer;
    QElapsedTimer mFadeClock;
    int mFadeStep = 0;
    std::vector<int> mPaintedGreys;
};
