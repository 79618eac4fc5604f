#include "sheet/frmSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "archive/RunLookAlikes.h"
#include "core/WindowSystem.h"
#include "sheetlogic/OffThread.h"
#include "sheetlogic/SheetModel.h"
#include "widgets/Twips.h"

namespace {

const QString kTitle = QStringLiteral("Site Rambler - 一覧");
const QString kClearTitle = QStringLiteral("似た画像の整理");
constexpr int kLayoutBatchRows = 2000;  // thumbnails laid out per pass of the event loop

QString Count(qint64 n) {
    return QLocale::c().toString(n);
}

// Every thumbnail at the bottom of an area of the row's height, centred across, with its caption
// below: a row's captions stand on one line, as in a file manager.
class ThumbnailDelegate : public QStyledItemDelegate {
public:
    ThumbnailDelegate(const SheetModel& model, QObject* parent)
        : QStyledItemDelegate(parent), mModel(model) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationSize =
            QSize(ThumbnailCache::Pixels(ThumbnailCache::Size::Normal), mModel.rowHeight());
        option->decorationAlignment = Qt::AlignHCenter | Qt::AlignBottom;
    }

private:
    const SheetModel& mModel;
};

QString CleanPath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

frmSheet::frmSheet(QWidget* parent)
    : QWidget(parent, Qt::Window),
      mModel(new SheetModel(ThumbnailCache(), this)),
      mMailbox(std::make_shared<ResultMailbox>(this)) {
    setWindowTitle(kTitle);
    CreateControls();
    ConnectControls();
    resize(1100, 720);
}

frmSheet::~frmSheet() {
    StopLookAlikes();
    mMailbox->close();
}

void frmSheet::CreateControls() {
    cboRun = new QComboBox(this);
    cboRun->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cboRun->setMinimumContentsLength(40);
    cmdFolder = new QPushButton(QStringLiteral("フォルダを開く"), this);
    cmdZoom = new QPushButton(QStringLiteral("等倍表示"), this);
    cmdZoom->setCheckable(true);
    cmdZoom->setToolTip(QStringLiteral("プレビューを画像の大きさで表示します [Z]"));
    chkSimilar = new QCheckBox(QStringLiteral("似た画像をまとめる"), this);
    cmdClearSimilar = new QPushButton(QStringLiteral("似た画像を整理…"), this);
    chkSimilar->setToolTip(QStringLiteral("見た目の似た画像を並べて先頭に表示します"));
    cmdClearSimilar->setToolTip(
        QStringLiteral("似た画像の組ごとに最も大きい画像を残し、ほかをごみ箱へ移します"));
    lblStatus = new QLabel(this);
    auto* bar = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(cboRun), static_cast<QWidget*>(cmdFolder),
                       static_cast<QWidget*>(chkSimilar), static_cast<QWidget*>(cmdClearSimilar),
                       static_cast<QWidget*>(cmdZoom)})
        bar->addWidget(w);
    bar->addWidget(lblStatus, 1);

    lstSheet = new QListView;
    lstSheet->setViewMode(QListView::IconMode);
    lstSheet->setMovement(QListView::Static);
    lstSheet->setResizeMode(QListView::Adjust);
    lstSheet->setUniformItemSizes(true);
    lstSheet->setLayoutMode(QListView::Batched);
    lstSheet->setBatchSize(kLayoutBatchRows);
    lstSheet->setItemDelegate(new ThumbnailDelegate(*mModel, lstSheet));
    FitRows(mModel->rowHeight());
    lstSheet->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstSheet->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstSheet->setModel(mModel);

    picPreview = new QLabel;
    picPreview->setAlignment(Qt::AlignCenter);
    picArea = new QScrollArea;
    picArea->setAlignment(Qt::AlignCenter);
    picArea->setWidget(picPreview);
    picArea->setWidgetResizable(true);

    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(lstSheet);
    split->addWidget(picArea);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({3000, 2000});  // shared in that proportion whatever the window's width
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split, 1);

    mPreviewDelay = new QTimer(this);
    mPreviewDelay->setSingleShot(true);
    mPreviewDelay->setInterval(80);
}

// Rows as tall as their pictures and a caption, as a file manager lays them out.
void frmSheet::FitRows(int height) {
    const int edge = ThumbnailCache::Pixels(ThumbnailCache::Size::Normal);
    lstSheet->setIconSize(QSize(edge, height));
    lstSheet->setGridSize(QSize(edge + 20, height + fontMetrics().height() + 16));
}

void frmSheet::ConnectControls() {
    connect(cboRun, &QComboBox::activated, this, &frmSheet::cboRun_Change);
    connect(cmdFolder, &QPushButton::clicked, this, &frmSheet::cmdFolder_Click);
    connect(cmdZoom, &QPushButton::clicked, this, &frmSheet::cmdZoom_Click);
    connect(chkSimilar, &QCheckBox::clicked, this, &frmSheet::chkSimilar_Click);
    connect(cmdClearSimilar, &QPushButton::clicked, this, &frmSheet::cmdClearSimilar_Click);
    connect(lstSheet->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &frmSheet::lstSheet_CurrentChanged);
    connect(mPreviewDelay, &QTimer::timeout, this, &frmSheet::RequestPreview);
    connect(mModel, &SheetModel::rowHeightChanged, this, &frmSheet::FitRows);
    connect(mModel, &SheetModel::filled, this, [this] {
        const int row = mModel->rowOf(mSelect);
        mSelect.clear();
        if (mModel->rowCount() > 0) lstSheet->setCurrentIndex(mModel->index(row >= 0 ? row : 0));
        if (row >= 0) lstSheet->scrollTo(mModel->index(row), QAbstractItemView::PositionAtCenter);
        ShowStatus();
        if (chkSimilar->isChecked()) FindLookAlikes();
    });
    connect(new QShortcut(QKeySequence::Delete, this), &QShortcut::activated, this,
            &frmSheet::cmdDelete_Click);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &QWidget::close);
    connect(new QShortcut(Qt::Key_Z, this), &QShortcut::activated, cmdZoom, &QPushButton::click);
}

void frmSheet::Open(const QString& downloadFolder, const QString& runFolder,
                    const QString& select) {
    if (!isVisible()) {
        showNormal();
        CentreOnScreen(this);
    }
    raise();
    activateWindow();
    mSelect = select;
    lblStatus->setText(QStringLiteral("読み込み中…"));
    RunOffThread(
        mMailbox, [downloadFolder] { return ListRuns(downloadFolder); },
        [this, runFolder](std::vector<RunSummary> runs) { ShowRuns(std::move(runs), runFolder); });
}

void frmSheet::ShowRuns(std::vector<RunSummary> runs, const QString& runFolder) {
    ++mRunListings;
    mRuns = std::move(runs);
    int chosen = mRuns.empty() ? -1 : 0;
    const QString wanted = runFolder.isEmpty() ? QString() : CleanPath(runFolder);
    for (std::size_t i = 0; i < mRuns.size(); ++i)
        if (CleanPath(mRuns[i].path) == wanted) chosen = int(i);
    // A run folder outside the download folder (the box changed since the crawl) still opens.
    if (chosen < 0 && !wanted.isEmpty() && QFileInfo(wanted).isDir()) {
        mRuns.insert(mRuns.begin(), RunSummary{QFileInfo(wanted).fileName(),
                                               wanted,
                                               {},
                                               QFileInfo(wanted).lastModified(),
                                               -1,
                                               -1});
        chosen = 0;
    }
    cboRun->clear();
    for (const RunSummary& run : mRuns) cboRun->addItem(RunLabel(run), run.path);
    if (chosen < 0) {
        mModel->setFolder({});
        lblStatus->setText(QStringLiteral("実行フォルダがありません"));
        return;
    }
    cboRun->setCurrentIndex(chosen);
    cboRun_Change();
}

void frmSheet::cboRun_Change() {
    const QString folder = cboRun->currentData().toString();
    if (folder.isEmpty()) return;
    mStatusNote.clear();
    StopLookAlikes();
    picPreview->clear();
    mModel->setFolder(folder);
    setWindowTitle(kTitle + QStringLiteral(" ( ") + QFileInfo(folder).fileName() +
                   QStringLiteral(" )"));
    lblStatus->setText(QStringLiteral("読み込み中…"));
}

void frmSheet::ShowStatus() {
    QString text = Count(mModel->rowCount()) + QStringLiteral(" 枚");
    if (!mStatusNote.isEmpty()) text += QStringLiteral("  ") + mStatusNote;
    lblStatus->setText(text);
}

void frmSheet::cmdFolder_Click() {
    if (!mModel->folder().isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(mModel->folder()));
}

void frmSheet::cmdZoom_Click() {
    RequestPreview();
}

void frmSheet::cmdDelete_Click() {
    QStringList names;
    const QModelIndexList chosen = lstSheet->selectionModel()->selectedIndexes();
    for (const QModelIndex& index : chosen) names.append(mModel->nameAt(index.row()));
    Trash(names);
}

// Off the window's thread: clearing look-alikes may move thousands. The picture that took the
// place of the first one moved is chosen next.
void frmSheet::Trash(const QStringList& names) {
    if (names.isEmpty()) return;
    const QString folder = mModel->folder();
    RunOffThread(
        mMailbox, [folder, names] { return MoveToTrash(folder, names); },
        [this, folder](TrashOutcome outcome) {
            if (folder != mModel->folder()) return;
            const int next = mModel->rowOf(outcome.moved.value(0));
            mModel->remove(outcome.moved);
            mStatusNote = Count(outcome.moved.size()) + QStringLiteral(" 枚をごみ箱へ移しました");
            if (!outcome.failed.isEmpty())
                mStatusNote += QStringLiteral("（") + Count(outcome.failed.size()) +
                               QStringLiteral(" 枚は移せませんでした）");
            ShowStatus();
            if (next >= 0 && mModel->rowCount() > 0)
                lstSheet->setCurrentIndex(mModel->index(std::min(next, mModel->rowCount() - 1)));
        });
}

void frmSheet::lstSheet_CurrentChanged() {
    const QModelIndex current = lstSheet->currentIndex();
    picPreview->setToolTip(current.isValid() ? current.data(Qt::ToolTipRole).toString()
                                             : QString());
    RequestPreview();
}

void frmSheet::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!cmdZoom->isChecked()) mPreviewDelay->start();
}

// A closed sheet no longer needs its look-alikes; the next opening searches afresh.
void frmSheet::hideEvent(QHideEvent* event) {
    StopLookAlikes();
    QWidget::hideEvent(event);
}

// Decoded off the window's thread: a large picture takes a good part of a second.
void frmSheet::RequestPreview() {
    const quint64 serial = ++mPreviewSerial;
    const QModelIndex current = lstSheet->currentIndex();
    if (!current.isValid()) {
        picPreview->clear();
        return;
    }
    const bool own = cmdZoom->isChecked();
    const QSize within = own ? QSize() : picArea->viewport()->size() * devicePixelRatioF();
    const QString file = mModel->fileAt(current.row());
    RunOffThread(
        mMailbox, [file, within] { return DecodePicture(file, within); },
        [this, serial, own](QImage picture) {
            if (serial != mPreviewSerial) return;  // another picture was chosen meanwhile
            QPixmap pixmap = QPixmap::fromImage(std::move(picture));
            if (!own) pixmap.setDevicePixelRatio(devicePixelRatioF());
            picArea->setWidgetResizable(!own);
            picPreview->setPixmap(pixmap);
            if (own) picPreview->adjustSize();
            if (pixmap.isNull())
                picPreview->setText(QStringLiteral("[ この画像は表示できません ]"));
            Q_EMIT previewShown();
        });
}

void frmSheet::StopLookAlikes() {
    if (mGroupStop) mGroupStop->store(true);
    mGroupStop.reset();
}

void frmSheet::FindLookAlikes(std::function<void()> then) {
    StopLookAlikes();
    const QString folder = mModel->folder();
    if (folder.isEmpty() || mModel->filling()) return;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    mGroupStop = stop;
    lblStatus->setText(QStringLiteral("似た画像を探しています…"));
    RunOffThread(
        mMailbox, [folder, stop] { return GroupRunLookAlikes(folder, stop.get()); },
        [this, stop, then = std::move(then)](std::vector<std::vector<QString>> groups) {
            if (stop != mGroupStop) return;  // overtaken: another run, or unticked
            mGroupStop.reset();
            mModel->setGroups(groups);
            mStatusNote = QStringLiteral("似た画像 ") + Count(qint64(mModel->groups().size())) +
                          QStringLiteral(" 組");
            ShowStatus();
            if (mModel->rowCount() > 0) lstSheet->setCurrentIndex(mModel->index(0));
            if (then) then();
        });
}

void frmSheet::chkSimilar_Click() {
    if (chkSimilar->isChecked()) {
        FindLookAlikes();
    } else {
        StopLookAlikes();
        mModel->setGroups({});
        mStatusNote.clear();
        ShowStatus();
    }
}

// Asks first: it may take many pictures at once. Each group keeps its largest picture.
void frmSheet::cmdClearSimilar_Click() {
    chkSimilar->setChecked(true);  // the groups it clears are the ones shown
    FindLookAlikes([this] {
        const QStringList lesser = mModel->allButLargest();
        if (lesser.isEmpty()) {
            ws().MsgBox(QStringLiteral("似た画像は見つかりませんでした。"), kClearTitle,
                        MB_ICONINFORMATION);
            return;
        }
        const int answer = ws().MsgBox(
            QStringLiteral("似た画像 ") + Count(qint64(mModel->groups().size())) +
                QStringLiteral(" 組から、それぞれ最も大きい画像を残して ") + Count(lesser.size()) +
                QStringLiteral(" 枚をごみ箱へ移します。よろしいですか？"),
            kClearTitle, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDYES) Trash(lesser);
    });
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmSheet.cpp"
