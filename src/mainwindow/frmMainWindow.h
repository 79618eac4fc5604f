#pragma once
// The main window: start URL and download folder, the two queues, the buttons that start,
// cancel and watch a crawl, the menus that open the dialogs, and the keyboard shortcuts.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <cstdint>

#include "crawl/CrawlHost.h"
#include "widgets/MainWindowParts.h"

class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class UrlQueue;

class frmMainWindow final : public QMainWindow, public CrawlHost {
    Q_OBJECT
public:
    explicit frmMainWindow(QWidget* parent = nullptr);
    ~frmMainWindow() override;

    // Controls, named as the rest of the program knows them.
    QLineEdit* txtURLBasePath = nullptr;
    QLineEdit* txtDownloadBasePath = nullptr;
    QListView* lstLinkView = nullptr;
    QListView* lstImageView = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdViewer = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdOpen = nullptr;
    std::array<QLabel*, 4> lblTitle{};
    std::array<QIcon, 6> imgIcon;
    QAction* menFileOpen = nullptr;
    QAction* menFileSave = nullptr;
    QAction* menFileClose = nullptr;
    QAction* menSheet = nullptr;
    QAction* menOption = nullptr;
    QAction* menHelpInstruct = nullptr;
    QAction* menHelpAbout = nullptr;

    std::int16_t mIconFrame = 0;  // animation frame last shown, 0 to 4
    std::int16_t mHoverList = 0;  // list the pointer last moved over: 0 none, 1 link, 2 image

    // Handlers.
    void Form_Load();
    void Form_KeyDown(int key);
    void cmdStart_Click();
    void cmdCancel_Click();
    void cmdClose_Click();
    void cmdOpen_Click();
    void cmdViewer_Click();
    void lstLink_DblClick();
    void lstImage_DblClick();
    void menFileOpen_Click();
    void menFileSave_Click();
    void menOption_Click();
    // The contact sheet on a run folder (the latest run when empty), a picture of it chosen.
    void menSheet_Click(const QString& runFolder = {}, const QString& file = {});
    void menHelpInstruct_Click();
    void menHelpAbout_Click();

    // -1 when the list ("lstLink", anything else means lstImage) holds exactly this text.
    std::int16_t IsListed(const QString& listName, const QString& text) const;

    // CrawlHost
    QString urlText() const override;
    QString downloadText() const override;
    void focusUrlBox() override;
    void focusDownloadBox() override;
    UrlQueue& lstLink() override { return *mLinks; }
    UrlQueue& lstImage() override { return *mImages; }
    void setCaption(const QString& caption) override;
    void AnimateIcon() override;
    void showRestingIcon() override;
    void setCrawlControls(bool running) override;
    bool confirmStart(const QString& folder, const QString& runFolder) override;
    std::unique_ptr<CrawlJournal> openJournal(const QString& folder, bool record) override;
    std::unique_ptr<PageRenderer> openRenderer(QString* problem) override;

    MainWindowParts parts();
    // The picture index last applied to the window icon (the window system is told about a
    // new frame at most a few times a second).
    int shownIconIndex() const { return mShownIcon; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls(QWidget* client);
    void buildMenus();
    void editEntry(UrlQueue& queue, const QString& prompt);
    void applyIcon(int index);
    void applyCaption();
    void endProgram();
    struct Dialogs;
    Dialogs& dialogs();
    void destroyDialogs();

    UrlQueue* mLinks = nullptr;
    UrlQueue* mImages = nullptr;
    QWidget* mClient = nullptr;
    QElapsedTimer mIconClock;
    int mShownIcon = -1;
    QString mCaption;  // the caption as the crawl last set it
    // The crawl settings file read last, until the start URL is typed over or a crawl starts.
    QString mLoadedQueue;
    QElapsedTimer mCaptionClock;
    bool mCaptionQueued = false;
    bool mCrawling = false;
    Dialogs* mDialogs = nullptr;
};
