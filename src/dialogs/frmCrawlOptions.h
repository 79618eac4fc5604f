#pragma once
// 巡回の詳細設定: the opt-in crawl rules of section [Crawl] and the number of transfers at
// once. OK takes the values over into gCrawlOptions, キャンセル leaves them; they are written
// to Init.dat with the other settings when the program ends.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

class frmCrawlOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmCrawlOptions(QWidget* parent = nullptr);

    QSpinBox* spnConnections = nullptr;
    QCheckBox* chkNoRevisit = nullptr;
    QComboBox* cboScope = nullptr;  // all, host, folder
    QCheckBox* chkSkipKnown = nullptr;
    QCheckBox* chkSkipSimilar = nullptr;
    QSpinBox* spnDelay = nullptr;
    QCheckBox* chkRobots = nullptr;
    QCheckBox* chkArchive = nullptr;
    QCheckBox* chkParseHtml = nullptr;
    QCheckBox* chkRenderPages = nullptr;
    QSpinBox* spnRetries = nullptr;
    QLineEdit* txtUserAgent = nullptr;  // empty: the program's name and version
    QLineEdit* txtCookieFile = nullptr;
    QPushButton* cmdCookieFile = nullptr;  // 参照…
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void cmdOK_Click();
    void cmdCookieFile_Click();

private:
    void BuildControls();
    void ShowSettings();
    QLayout* BuildCookieRow();
};
