// The viewer's operations: opening, navigation by number, refresh, delete, keys and close.
#include "viewer/frmViewer.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/WindowSystem.h"
#include "core/basGlobal.h"
#include "viewer/ImageBox.h"

namespace {

const QString kCaptionHead = QStringLiteral("Site Rambler - 画像ビューア ( ");
const QString kNotFoundCaption =
    QStringLiteral("Site Rambler - 画像ビューア ( イメージファイルが見つかりません )");
const QString kCannotShow = QStringLiteral("[ このファイルは画像ビューアで表示できません ]");
const QString kDeleteTitle = QStringLiteral("イメージファイルの削除");

// The smallest number's starting value, before the first refresh lowers it.
constexpr std::int32_t kFirstMinimum = 999'999;

// Key codes of the keyboard handler.
constexpr int kKeyEscape = 27;
constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;
constexpr int kKeyEnd = 35;
constexpr int kKeyHome = 36;
constexpr int kKeyDelete = 46;
constexpr int kKeyF1 = 112;

}  // namespace

QString frmViewer::RunDir() const {
    return gRunFolder + QLatin1Char('/');
}

QWidget* frmViewer::MainWindow() const {
    return mMainWindow ? mMainWindow.data() : parentWidget();
}

void frmViewer::ResetState() {
    mNaviMode = 0;
    mCurrentNo = 0;
    mCurrentFile.clear();
    mMaxNo = 0;
    mMinNo = 0;
    mFileCount = 0;
    imgViewer->Clear();
    lblComment->clear();
    cmdDelete->setEnabled(true);
    mIndex.Invalidate();
}

void frmViewer::Open() {
    if (!mLoaded) Form_Load();
}

void frmViewer::Form_Load() {
    try {
        const quint64 load = ++mLoadSerial;
        QPointer<frmViewer> self(this);
        mLoaded = true;
        ResetState();
        setWindowTitle(QStringLiteral("Site Rambler - 画像ビューア"));
        // Visible and laid out before the folder is read, which may take a while.
        if (!isVisible()) showNormal();
        mMinNo = kFirstMinimum;
        txtDir->setText(gRunFolder);
        setCursor(Qt::WaitCursor);
        cmdRefresh_Click();
        if (ws().Ending()) return;
        if (!self || mLoadSerial != load) return;  // closed meanwhile
        mNaviMode = 0;
        bool loadFailed = false;
        const SearchEnd end = Search(0, mMaxNo, ++mSearchSerial, loadFailed);
        if (end == SearchEnd::Superseded || end == SearchEnd::Closed) return;
        ShowResult(end, loadFailed);
    } catch (const ProgramEnding&) {
    }
}

// The listing is sorted by number: the nearest file of the stretch is looked up in it at once,
// however wide the gaps between the numbers.
frmViewer::SearchEnd frmViewer::Search(qint64 from, qint64 to, quint64 serial, bool& loadFailed) {
    const quint64 load = mLoadSerial;
    QPointer<frmViewer> self(this);
    const auto found = mIndex.Nearest(RunDir(), from, to);
    // Reading a large folder lets events run.
    if (!self || mLoadSerial != load) return SearchEnd::Closed;
    if (mSearchSerial != serial) return SearchEnd::Superseded;
    if (!found) return SearchEnd::NotFound;
    mCurrentNo = found->number;
    mCurrentFile = found->name;
    loadFailed = !imgViewer->LoadPicture(RunDir() + found->name);
    return SearchEnd::Found;
}

// The end of every navigation and of the opening that ran to its end (found, not found, or
// nothing to do).
void frmViewer::ShowResult(SearchEnd end, bool loadFailed) {
    if (end == SearchEnd::Found) {
        const QFileInfo info(RunDir() + mCurrentFile);
        const qint64 kb = KilobytesOf(info.exists() ? info.size() : -1);
        cmdDelete->setEnabled(true);
        setWindowTitle(kCaptionHead + mCurrentFile + QStringLiteral(" ( ") + QString::number(kb) +
                       QStringLiteral("キロバイト ) / ") + QString::number(mFileCount) +
                       QStringLiteral(" )"));
    } else if (end == SearchEnd::NotFound) {
        cmdDelete->setEnabled(false);
        setWindowTitle(kNotFoundCaption);
    }
    if (end == SearchEnd::Found || end == SearchEnd::NotFound)
        imgViewer->setToolTip(end == SearchEnd::Found && mOriginLookup
                                  ? mOriginLookup(RunDir() + mCurrentFile)
                                  : QString());
    if (end == SearchEnd::Found && loadFailed) {
        imgViewer->Clear();
        lblComment->setText(kCannotShow);
    } else {
        lblComment->clear();
    }
    ResetScrollBars();
    unsetCursor();
}

void frmViewer::cmdControll_Click(std::int16_t Index) {
    try {
        if (Index < 0 || Index > 3) return;
        setCursor(Qt::WaitCursor);
        mIndex.Recheck();
        const quint64 serial = ++mSearchSerial;
        bool loadFailed = false;
        SearchEnd end = SearchEnd::Skipped;
        switch (Index) {
            case 0:
                mNaviMode = 1;
                end = Search(0, mMaxNo, serial, loadFailed);
                break;
            case 1:
                mNaviMode = 2;
                if (mCurrentNo > mMinNo)
                    end = Search(qint64(mCurrentNo) - 1, 0, serial, loadFailed);
                break;
            case 2:
                mNaviMode = 3;
                if (mCurrentNo < mMaxNo)
                    end = Search(qint64(mCurrentNo) + 1, mMaxNo, serial, loadFailed);
                break;
            default:
                mNaviMode = 4;
                end = Search(mMaxNo, 0, serial, loadFailed);
                break;
        }
        // Overtaken or closed: the newer state (or the closed window) is left alone.
        if (end == SearchEnd::Superseded || end == SearchEnd::Closed) return;
        ShowResult(end, loadFailed);
    } catch (const ProgramEnding&) {
    }
}

void frmViewer::cmdRefresh_Click() {
    try {
        const quint64 load = mLoadSerial;
        const quint64 serial = ++mRefreshSerial;
        QPointer<frmViewer> self(this);
        setCursor(Qt::WaitCursor);
        mIndex.Recheck();
        mFileCount = 0;
        // The listing read now is counted to its end, even if the folder changes meanwhile.
        const auto listing = mIndex.Entries(RunDir());
        if (!self || mLoadSerial != load || mRefreshSerial != serial) return;
        for (const QString& name : listing->names) {
            if (const auto number = SequenceNumberOf(name)) {
                if (*number < mMinNo) mMinNo = *number;
                if (*number > mMaxNo) mMaxNo = *number;
            }
            ++mFileCount;
            ws().Yield();
            if (!self || mLoadSerial != load) return;
            if (mRefreshSerial != serial) return;  // a newer refresh counts afresh
        }
        setWindowTitle(kCaptionHead + mCurrentFile + QStringLiteral(" / ") +
                       QString::number(mFileCount) + QStringLiteral(" )"));
        unsetCursor();
    } catch (const ProgramEnding&) {
    }
}

void frmViewer::cmdDelete_Click() {
    try {
        // Only the file on show may be deleted: before any file was found there is none.
        if (mCurrentFile.isEmpty()) return;
        const QString folder = RunDir();
        mIndex.Recheck();
        const quint64 load = mLoadSerial;
        const std::int32_t number = mCurrentNo;
        QPointer<frmViewer> self(this);
        const QString name = mIndex.Lookup(folder, number);
        if (name.isEmpty() || !self || mLoadSerial != load || mCurrentNo != number) return;
        const int answer = ws().MsgBox(QStringLiteral("イメージファイル ") + name +
                                           QStringLiteral(" を削除します。よろしいですか？"),
                                       kDeleteTitle, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (!self || mLoadSerial != load || answer != IDYES) return;
        // Exactly the one file named in the question; a failure goes unreported.
        QFile::remove(folder + name);
        mIndex.Invalidate();
        imgViewer->Clear();
        cmdControll_Click(1);
    } catch (const ProgramEnding&) {
    }
}

void frmViewer::Form_KeyDown(int KeyCode, int /*Shift*/) {
    switch (KeyCode) {
        case kKeyEscape:
            cmdClose_Click();
            break;
        case kKeyHome:
            cmdControll_Click(0);
            break;
        case kKeyPageUp:
            cmdControll_Click(1);
            break;
        case kKeyPageDown:
            cmdControll_Click(2);
            break;
        case kKeyF1:
            cmdRefresh_Click();
            break;
        case kKeyEnd:
            cmdControll_Click(3);
            break;
        case kKeyDelete:
            cmdDelete_Click();
            break;
        default:
            break;
    }
}

void frmViewer::cmdClose_Click() {
    if (QWidget* main = MainWindow()) main->setEnabled(true);
    Unload();
}

void frmViewer::Form_Unload() {
    cmdClose_Click();
}

// Discards the open viewer's state; anything still waiting in a yield finds its serial
// outdated and stops without touching the window.
void frmViewer::Unload() {
    ++mLoadSerial;
    ++mSearchSerial;
    ++mRefreshSerial;
    mLoaded = false;
    ResetState();
    unsetCursor();
    if (!mUnloading && isVisible()) {
        mUnloading = true;
        hide();
        mUnloading = false;
    }
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmViewer.cpp"
