#include "mainwindow/frmMainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <utility>

#include "archive/EndedAside.h"
#include "core/AppPaths.h"
#include "core/CrawlOptions.h"
#include "core/Settings.h"
#include "core/UrlQueue.h"
#include "core/WindowSystem.h"
#include "core/basGlobal.h"
#include "mainwindow/WholeTextBox.h"
#include "render/BrowserRenderer.h"
#include "widgets/Icons.h"
#include "widgets/Twips.h"

namespace {

const QString kTitle = QStringLiteral("Site Rambler");

// Rows a list view lays out per pass of the event loop: a few milliseconds' work.
constexpr int kLayoutBatchRows = 20000;

// The window system hears of a new busy frame at most this often: the crawl asks for a frame
// after every token, far more often than anyone can see.
constexpr qint64 kIconRefreshMs = 80;
// The same for the caption's count of pictures kept: one slice of the window's service.
constexpr qint64 kCaptionRefreshMs = 10;

}  // namespace

frmMainWindow::frmMainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    mLinks = new UrlQueue(this);
    mImages = new UrlQueue(this);
    imgIcon = MakeWindowIcons();
    setWindowIcon(imgIcon[5]);
    mClient = new QWidget(this);
    mClient->setFixedSize(TwipsRect(0, 0, 9360, 5850).size());
    setCentralWidget(mClient);
    buildControls(mClient);
    buildMenus();
    setFixedSize(sizeHint());
    CentreOnScreen(this);
    qApp->installEventFilter(this);
    Form_Load();
}

frmMainWindow::~frmMainWindow() {
    qApp->removeEventFilter(this);
    destroyDialogs();
    // The records of the crawls end before the folders they write to and the program's last
    // globals go; every window is hidden by now, so nobody sees the wait.
    WaitForArchivesEndingAside();
}

void frmMainWindow::buildControls(QWidget* client) {
    client->setMouseTracking(true);
    txtURLBasePath = new WholeTextBox(QStringLiteral("http://"), client);
    txtURLBasePath->setGeometry(TwipsRect(240, 480, 8895, 270));
    txtDownloadBasePath = new WholeTextBox(client);
    txtDownloadBasePath->setGeometry(TwipsRect(240, 1200, 8415, 270));
    lstLinkView = new QListView(client);
    lstLinkView->setGeometry(TwipsRect(240, 1920, 8895, 1320));
    lstImageView = new QListView(client);
    lstImageView->setGeometry(TwipsRect(240, 3720, 8895, 1320));
    for (auto [view, model] : {std::pair{lstLinkView, mLinks}, std::pair{lstImageView, mImages}}) {
        view->setModel(model);
        view->setSelectionModel(model->selectionModel());
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setUniformItemSizes(true);  // long queues stay quick to show
        // A view lays out every row after each change; in one go that held the window for
        // 50 ms at 300,000 rows, so it lays them out a batch per pass of the event loop.
        view->setLayoutMode(QListView::Batched);
        view->setBatchSize(kLayoutBatchRows);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        // a long URL runs past the edge and scrolls, as in a list box; eliding it would shape
        // every row's text twice at each repaint, and a fast crawl repaints at every pass
        view->setTextElideMode(Qt::ElideNone);
        view->viewport()->setMouseTracking(true);
    }

    auto button = [client](const QString& text, const QString& tip, QRect geometry) {
        auto* b = new QPushButton(text, client);
        b->setGeometry(geometry);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };
    cmdStart = button(QStringLiteral("巡回開始"), QStringLiteral("巡回を開始します。 [F1]"),
                      TwipsRect(240, 5280, 1695, 375));
    cmdCancel = button(QStringLiteral("巡回中止"), QStringLiteral("巡回を中止します。 [F2]"),
                       TwipsRect(2040, 5280, 1695, 375));
    cmdViewer = button(QStringLiteral("画像ビューア"),
                       QStringLiteral("ダウンロードしたイメージファイルを閲覧します。 [F3]"),
                       TwipsRect(3840, 5280, 1695, 375));
    cmdClose = button(QStringLiteral("閉じる"), QStringLiteral("このソフトを終了します。 [ESC]"),
                      TwipsRect(7440, 5280, 1695, 375));
    const QString titles[4] = {QStringLiteral("スタートするページのURL"),
                               QStringLiteral("ダウンロードしたファイルを保存する場所"),
                               QStringLiteral("ページ内に見つかったイメージファイル"),
                               QStringLiteral("ページ内に見つかったリンク")};
    const QRect titleAt[4] = {TwipsRect(240, 240, 2535, 255), TwipsRect(240, 960, 3375, 255),
                              TwipsRect(240, 3480, 4095, 255), TwipsRect(240, 1680, 2535, 255)};
    for (int i = 0; i < 4; ++i) {
        lblTitle[i] = new QLabel(titles[i], client);
        lblTitle[i]->setGeometry(titleAt[i]);
    }
    cmdOpen =
        button(QStringLiteral("…"), QStringLiteral("ダウンロード先のディレクトリを指定します。"),
               TwipsRect(8760, 1200, 375, 280));
    cmdCancel->setEnabled(false);
    cmdViewer->setEnabled(false);

    QWidget* order[] = {txtURLBasePath, txtDownloadBasePath, lstLinkView, lstImageView, cmdStart,
                        cmdCancel,      cmdViewer,           cmdClose,    cmdOpen};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    connect(cmdStart, &QPushButton::clicked, this, &frmMainWindow::cmdStart_Click);
    connect(txtURLBasePath, &QLineEdit::textEdited, this, [this] { mLoadedQueue.clear(); });
    connect(cmdCancel, &QPushButton::clicked, this, &frmMainWindow::cmdCancel_Click);
    connect(cmdViewer, &QPushButton::clicked, this, &frmMainWindow::cmdViewer_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmMainWindow::cmdClose_Click);
    connect(cmdOpen, &QPushButton::clicked, this, &frmMainWindow::cmdOpen_Click);
    connect(lstLinkView, &QListView::doubleClicked, this, &frmMainWindow::lstLink_DblClick);
    connect(lstImageView, &QListView::doubleClicked, this, &frmMainWindow::lstImage_DblClick);
}

void frmMainWindow::buildMenus() {
    QMenu* menFile = menuBar()->addMenu(QStringLiteral("ファイル"));
    menFileOpen = menFile->addAction(QStringLiteral("巡回設定ファイルを開く"));
    menFileSave = menFile->addAction(QStringLiteral("巡回設定ファイルを保存する"));
    menSheet = menFile->addAction(QStringLiteral("一覧"));
    menFile->addSeparator();
    menFileClose = menFile->addAction(QStringLiteral("閉じる"));
    menOption = menuBar()->addAction(QStringLiteral("設定"));
    QMenu* menHelp = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    menHelpInstruct = menHelp->addAction(QStringLiteral("説明書"));
    menHelp->addSeparator();
    menHelpAbout = menHelp->addAction(QStringLiteral("アバウト"));
    connect(menFileOpen, &QAction::triggered, this, &frmMainWindow::menFileOpen_Click);
    connect(menFileSave, &QAction::triggered, this, &frmMainWindow::menFileSave_Click);
    connect(menFileClose, &QAction::triggered, this, &frmMainWindow::cmdClose_Click);
    connect(menSheet, &QAction::triggered, this, [this] { menSheet_Click(gRunFolder); });
    connect(menOption, &QAction::triggered, this, &frmMainWindow::menOption_Click);
    connect(menHelpInstruct, &QAction::triggered, this, &frmMainWindow::menHelpInstruct_Click);
    connect(menHelpAbout, &QAction::triggered, this, &frmMainWindow::menHelpAbout_Click);
}

void frmMainWindow::Form_Load() {
    setWindowTitle(kTitle);
    if (!gURLBasePath.isEmpty()) txtURLBasePath->setText(gURLBasePath);
    txtDownloadBasePath->setText(
        gDownloadBasePath.isEmpty() ? CurrentAppPaths().defaultDownloadFolder : gDownloadBasePath);
}

MainWindowParts frmMainWindow::parts() {
    return MainWindowParts{this,   txtURLBasePath, txtDownloadBasePath,
                           mLinks, mImages,        &mLoadedQueue};
}

// ---- keys and pointer ----

bool frmMainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            // The application-wide filter sees every event once per receiver: every key of this
            // window is seen here first and still reaches its control.
            // A key a control ignores travels on to its parents: act on it only once.
            auto* w = qobject_cast<QWidget*>(watched);
            if (!w || w->window() != this || !isEnabled()) break;
            QWidget* focus = QApplication::focusWidget();
            if (w != focus && (focus || w != this)) break;
            const int key = static_cast<QKeyEvent*>(event)->key();
            Form_KeyDown(key);
            // The function keys and Escape mean nothing to the controls, and their handlers
            // may run a whole crawl: by then the focus has moved, and the same key travelling
            // on to the parents would be taken for a new one (F1 would start a second crawl).
            if (key == Qt::Key_F1 || key == Qt::Key_F2 || key == Qt::Key_F3 ||
                key == Qt::Key_Escape)
                return true;
            break;
        }
        case QEvent::MouseMove:
            if (watched == lstLinkView->viewport()) {
                mHoverList = 1;
            } else if (watched == lstImageView->viewport()) {
                mHoverList = 2;
            } else if (watched == mClient) {
                // only the window's own background, not a label or other control on it
                const auto* me = static_cast<QMouseEvent*>(event);
                if (!mClient->childAt(me->position().toPoint())) mHoverList = 0;
            }
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMainWindow::Form_KeyDown(int key) {
    switch (key) {
        case Qt::Key_F1:
            if (cmdStart->isEnabled()) cmdStart_Click();
            break;
        case Qt::Key_F2:
            if (cmdCancel->isEnabled()) cmdCancel_Click();
            break;
        case Qt::Key_F3:
            cmdViewer_Click();  // also while the viewer button is still off
            break;
        case Qt::Key_Escape:
            cmdClose_Click();
            break;
        case Qt::Key_Delete: {
            UrlQueue* queue = mHoverList == 1 ? mLinks : mHoverList == 2 ? mImages : nullptr;
            // the first entry is never removed: during a crawl it is the one being worked on
            if (queue && queue->selectedIndex() > 0) queue->removeAt(queue->selectedIndex());
            break;
        }
        default:
            break;
    }
}

// ---- list editing ----

void frmMainWindow::editEntry(UrlQueue& queue, const QString& prompt) {
    const QString answer = ws().InputBox(prompt, kTitle, queue.selectedText());
    if (answer.isEmpty()) return;
    queue.setEntry(queue.selectedIndex(), answer);  // no selection: nothing changes
}

void frmMainWindow::lstLink_DblClick() {
    editEntry(*mLinks, QStringLiteral("リンク"));
}

void frmMainWindow::lstImage_DblClick() {
    editEntry(*mImages, QStringLiteral("イメージ"));
}

std::int16_t frmMainWindow::IsListed(const QString& listName, const QString& text) const {
    const UrlQueue& queue = listName == QLatin1String("lstLink") ? *mLinks : *mImages;
    return queue.contains(text) ? -1 : 0;
}

// ---- crawl host ----

QString frmMainWindow::urlText() const {
    return txtURLBasePath->text();
}
QString frmMainWindow::downloadText() const {
    return txtDownloadBasePath->text();
}
void frmMainWindow::focusUrlBox() {
    txtURLBasePath->setFocus();
}
void frmMainWindow::focusDownloadBox() {
    txtDownloadBasePath->setFocus();
}
// A crawl counts every picture kept in the caption, thousands a second on a fast site: the
// window system hears of it at most once a slice, and always of the last count.
std::unique_ptr<PageRenderer> frmMainWindow::openRenderer(QString* problem) {
    return OpenCrawlRenderer(gCrawlOptions, problem);
}

void frmMainWindow::setCaption(const QString& caption) {
    mCaption = caption;
    if (!mCrawling || !mCaptionClock.isValid() || mCaptionClock.elapsed() >= kCaptionRefreshMs) {
        applyCaption();
        return;
    }
    if (std::exchange(mCaptionQueued, true)) return;
    QTimer::singleShot(kCaptionRefreshMs - mCaptionClock.elapsed(), this, [this] {
        if (mCaptionQueued) applyCaption();  // not already applied by the end of the crawl
    });
}

void frmMainWindow::applyCaption() {
    mCaptionQueued = false;
    setWindowTitle(mCaption);
    mCaptionClock.start();
}

void frmMainWindow::applyIcon(int index) {
    mShownIcon = index;
    setWindowIcon(imgIcon[index]);
    mIconClock.start();
}

void frmMainWindow::AnimateIcon() {
    if (++mIconFrame > 4) mIconFrame = 0;
    if (!mIconClock.isValid() || mIconClock.elapsed() >= kIconRefreshMs) applyIcon(mIconFrame);
}

void frmMainWindow::showRestingIcon() {
    applyIcon(5);
}

void frmMainWindow::setCrawlControls(bool running) {
    mCrawling = running;
    if (!running && mCaptionQueued) applyCaption();
    cmdStart->setEnabled(!running);
    cmdOpen->setEnabled(!running);
    cmdCancel->setEnabled(running);
    if (running) cmdViewer->setEnabled(true);  // stays on once a crawl has run
    menFileOpen->setEnabled(!running);
    menFileSave->setEnabled(!running);
}

// ---- cancel and close ----

void frmMainWindow::cmdCancel_Click() {
    mCaption = QStringLiteral("Site Rambler - 巡回キャンセル中…");
    applyCaption();
    gCancelRequested = -1;
}

void frmMainWindow::cmdClose_Click() {
    if (ws().Ending()) return;
    if (!cmdStart->isEnabled()) {
        const int answer = ws().MsgBox(QStringLiteral("現在巡回中です。終了してもよろしいですか？"),
                                       QStringLiteral("終了の確認"),
                                       MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
        if (answer != IDYES) return;
    }
    SaveSettings(txtURLBasePath->text(), txtDownloadBasePath->text());
    endProgram();
}

void frmMainWindow::endProgram() {
    // Every window goes at once, without its own closing handling; a crawl or viewer search
    // that waits in a yield unwinds when the yield returns, and shows nothing more.
    ws().RequestEnd();
    for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
    QCoreApplication::exit(0);
}

void frmMainWindow::closeEvent(QCloseEvent* event) {
    // The window never closes by itself: the close box takes the close path, which either
    // ends the program or leaves everything as it was.
    event->ignore();
    cmdClose_Click();
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmMainWindow.cpp"
