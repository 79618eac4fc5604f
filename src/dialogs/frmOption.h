#pragma once
// The options dialog: whether stored pages are deleted after the scan, and whether images
// below a size limit are deleted. Every click changes the settings at once; there is no OK or
// Cancel. It deletes itself when closed and enables the main window again however it closes.

#include <QPointer>
#include <QWidget>
#include <array>

#include "widgets/MainWindowParts.h"

class QGroupBox;
class QPushButton;
class QRadioButton;

class frmOption : public QWidget {
    Q_OBJECT
public:
    explicit frmOption(const MainWindowParts& parts, QWidget* parent = nullptr);

    QPushButton* cmdClose = nullptr;
    QPushButton* cmdCrawlOptions = nullptr;  // opens 巡回の詳細設定
    QGroupBox* fraHTML = nullptr;
    QGroupBox* fraImage = nullptr;
    std::array<QRadioButton*, 2> optHTML{};   // 0: delete stored pages, 1: keep them
    std::array<QRadioButton*, 2> optImage{};  // 0: delete small images, 1: keep every image

    void Form_Load();
    void optHTML_Click(int index);
    void optImage_Click(int index);
    void cmdClose_Click();
    void cmdCrawlOptions_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void ClearDeleteImagesOption();
    void EnableMainWindow();

    QPointer<QWidget> mMainWindow;
};
