#pragma once
// The image viewer: pages through the numbered files of the current run folder (gRunFolder),
// shows each picture at its own size with scroll bars, refreshes its view of the folder and
// deletes the file shown on request.
//
// The main window keeps one instance. To open it: showNormal(), raise(), activateWindow(), then
// Open(), which runs the opening only when the viewer is not already open. Closing it (ESC, the
// close button, the close box) hides it and discards its state; the next Open() starts afresh.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>

#include "viewindex/RunFolderIndex.h"

class ImageBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QWindow;

class frmViewer : public QWidget {
    Q_OBJECT
public:
    explicit frmViewer(QWidget* parent = nullptr);
    ~frmViewer() override;

    // Runs the opening unless the viewer is open already (then its state is kept as it is).
    void Open();
    bool IsOpen() const { return mLoaded; }
    // The window that closing enables again; without one, the parent widget.
    void setMainWindow(QWidget* window) { mMainWindow = window; }
    // Where a stored file came from, as the picture's tooltip; empty when nobody knows.
    using OriginLookup = std::function<QString(const QString& file)>;
    void setOriginLookup(OriginLookup lookup) { mOriginLookup = std::move(lookup); }
    // Opens the contact sheet on the run folder with the picture on show (its context menu, F4).
    using SheetOpener = std::function<void(const QString& folder, const QString& file)>;
    void setSheetOpener(SheetOpener opener) { mSheetOpener = std::move(opener); }

    // Handlers, named after the controls and events they serve.
    void Form_Load();
    void Form_Resize();
    void Form_KeyDown(int KeyCode, int Shift);
    void Form_Unload();
    void cmdControll_Click(std::int16_t Index);
    void cmdRefresh_Click();
    void cmdDelete_Click();
    void cmdClose_Click();
    void ResetScrollBars();
    void srbHScroll_Change();
    void srbVScroll_Change();
    void srbHScroll_Scroll();
    void srbVScroll_Scroll();

    // Controls.
    QLabel* lblTitle = nullptr;
    QLineEdit* txtDir = nullptr;
    std::array<QPushButton*, 4> cmdControll{};
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdClose = nullptr;
    QWidget* picViewer = nullptr;
    ImageBox* imgViewer = nullptr;
    QLabel* lblComment = nullptr;
    QScrollBar* srbHScroll = nullptr;
    QScrollBar* srbVScroll = nullptr;

    // State of the open viewer.
    std::int16_t mNaviMode = 0;  // 0 opening, 1 first, 2 previous, 3 next, 4 last
    std::int32_t mCurrentNo = 0;
    QString mCurrentFile;
    std::int32_t mMaxNo = 0;
    std::int32_t mMinNo = 0;
    std::int32_t mFileCount = 0;

    // Layout units: positions are designed in twips, 15 to a pixel.
    static constexpr int kTwipsPerPixel = 15;
    static int Px(int twips);
    // The window's outer size (frame and title bar included) in twips.
    QSize OuterTwips() const;

    // Look-ups of the run folder, shared by every operation (tests read its counters).
    RunFolderIndex& FolderIndex() { return mIndex; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class SearchEnd { Found, NotFound, Skipped, Superseded, Closed };

    void CreateControls();
    void ConnectControls();
    void ResetState();
    void Unload();
    QString RunDir() const;
    SearchEnd Search(qint64 from, qint64 to, quint64 serial, bool& loadFailed);
    void ShowResult(SearchEnd end, bool loadFailed);
    QWidget* MainWindow() const;

    RunFolderIndex mIndex;
    QPointer<QWidget> mMainWindow;
    OriginLookup mOriginLookup;
    SheetOpener mSheetOpener;
    QPointer<QWindow> mKeyWindow;  // window whose keys are seen before any control
    bool mLoaded = false;
    bool mPlaced = false;  // centred on the screen at the first show
    bool mUnloading = false;
    // Each opening, search and refresh takes a new serial; one that finds a newer serial
    // after a yield has been overtaken (or the viewer closed) and stops touching anything.
    quint64 mLoadSerial = 0;
    quint64 mSearchSerial = 0;
    quint64 mRefreshSerial = 0;
};
