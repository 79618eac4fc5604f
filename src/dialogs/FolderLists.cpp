#include "dialogs/FolderLists.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>
#include <vector>

#include "core/WindowSystem.h"
#include "dialoglogic/ByteOrderedNames.h"
#include "widgets/Twips.h"

namespace {

std::function<QStringList()>& VolumeLister() {
    static std::function<QStringList()> lister;
    return lister;
}

bool IsHidden(const QString& name) {
    return name.startsWith(QLatin1Char('.'));
}

// Names in byte order, so that what is listed never depends on the directory's own order.
void SortByBytes(QStringList& names) {
    ByteOrderedNames ordered;
    for (QString& name : names) ordered.add(std::move(name));
    ordered.finish();
    QStringList sorted;
    sorted.reserve(names.size());
    while (const QString* name = ordered.next()) sorted.append(*name);
    names = std::move(sorted);
}

// "/a/b" -> "/", "/a", "/a/b".
QStringList FolderChain(const QString& path) {
    QStringList chain{QStringLiteral("/")};
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString at;
    for (const QString& part : parts) {
        at += QLatin1Char('/') + part;
        chain.append(at);
    }
    return chain;
}

QString ChildPath(const QString& folder, const QString& name) {
    return folder == QLatin1String("/") ? folder + name : folder + QLatin1Char('/') + name;
}

QString ParentPath(const QString& folder) {
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

bool CanList(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

constexpr int kPathRole = Qt::UserRole;

}  // namespace

void SetUpFixedDialog(QWidget* dialog, int widthTwips, int heightTwips) {
    dialog->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    FixSizeAndCentre(dialog, widthTwips, heightTwips);
}

QString NormalFolderPath(const QString& path) {
    QString clean = QDir::cleanPath(QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath()));
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/'))) clean.chop(1);
    return clean;
}

// ---- DriveList

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    const QStringList roots = MountedRoots();
    fill(roots);
    // The volume holding the working folder is the one whose root is its longest prefix.
    const QString cwd = NormalFolderPath(QDir::currentPath());
    QString best = QStringLiteral("/");
    for (const QString& root : roots) {
        const bool holds = cwd == root || cwd.startsWith(ChildPath(root, QString()));
        if (holds && root.size() > best.size()) best = root;
    }
    setCurrentIndex(std::max(0, findData(best)));
    connect(this, &QComboBox::currentIndexChanged, this, [this] { Q_EMIT Change(); });
}

QStringList DriveList::MountedRoots() {
    QStringList roots;
    if (VolumeLister()) {
        roots = VolumeLister()();
    } else {
        for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
            if (QFileInfo(volume.rootPath()).isDir()) roots.append(volume.rootPath());
    }
    for (QString& root : roots) root = NormalFolderPath(root);
    roots.removeAll(QStringLiteral("/"));
    roots.removeDuplicates();
    SortByBytes(roots);
    roots.prepend(QStringLiteral("/"));
    return roots;
}

void DriveList::SetVolumeLister(std::function<QStringList()> lister) {
    VolumeLister() = std::move(lister);
}

void DriveList::fill(const QStringList& roots) {
    const QSignalBlocker quiet(this);
    clear();
    for (const QString& root : roots) addItem(root, root);
}

QString DriveList::drive() const {
    return currentData().toString();
}

void DriveList::setDrive(const QString& root) {
    const QString wanted = NormalFolderPath(root);
    int index = findData(wanted);
    if (index < 0) {
        const QSignalBlocker quiet(this);
        addItem(wanted, wanted);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

// ---- FolderList

FolderList::FolderList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setIndentation(12);
    setUniformRowHeights(true);  // long folders stay quick to lay out
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { setPath(item->data(0, kPathRole).toString()); });
    const QString cwd = NormalFolderPath(QDir::currentPath());
    mPath = CanList(cwd) ? cwd : QStringLiteral("/");
    fill();
}

bool FolderList::setPath(const QString& path) {
    const QString wanted = NormalFolderPath(path);
    if (path.isEmpty() || !CanList(wanted)) return false;
    const bool changed = wanted != mPath;
    mPath = wanted;
    if (!fill()) return true;  // the list went away while it was being filled
    if (changed) Q_EMIT Change();
    return true;
}

void FolderList::refresh() {
    fill();
}

QString FolderList::highlightedPath() const {
    const QTreeWidgetItem* item = currentItem();
    return item ? item->data(0, kPathRole).toString() : QString();
}

bool FolderList::openHighlighted() {
    const QString target = highlightedPath();
    return !target.isEmpty() && setPath(target);
}

// Keeps the window answering while a long folder is read and listed. False when the list should
// stop: the program ends, the list went away, or a newer listing started meanwhile.
bool FolderList::stillListing(const QPointer<FolderList>& self, quint64 serial) {
    return ws().YieldNoThrow() && self && mFillSerial == serial;
}

bool FolderList::fill() {
    const quint64 serial = ++mFillSerial;
    const QPointer<FolderList> self(this);
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem* parentItem = nullptr;
    for (const QString& folder : FolderChain(mPath)) {
        const QString name = folder == QLatin1String("/") ? folder : folder.section('/', -1);
        auto* item = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(this);
        item->setText(0, name);
        item->setIcon(0, open);
        item->setData(0, kPathRole, folder);
        parentItem = item;
    }
    expandAll();
    setCurrentItem(parentItem);
    const QString listed = mPath;
    ByteOrderedNames names;
    QDirIterator it(listed, QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QString name = it.nextFileInfo().fileName();
        if (!IsHidden(name)) names.add(std::move(name));
        if (!stillListing(self, serial)) return self;
    }
    names.finish();
    // Handed to the list in pieces: one by one, every item is a change the view follows, and
    // all at once a folder of 100,000 entries held the window for seconds.
    constexpr qsizetype kPiece = 2000;
    for (;;) {
        QList<QTreeWidgetItem*> children;
        while (children.size() < kPiece) {
            const QString* name = names.next();
            if (name == nullptr) break;
            auto* item = new QTreeWidgetItem;
            item->setText(0, *name);
            item->setIcon(0, closed);
            item->setData(0, kPathRole, ChildPath(listed, *name));
            children.append(item);
        }
        if (children.isEmpty()) break;
        parentItem->addChildren(children);
        if (!stillListing(self, serial)) return self;
    }
    scrollToItem(parentItem);
    return true;
}

// Every folder of the list is always open: no expand or collapse marks.
void FolderList::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {}

void FolderList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            openHighlighted();
            return;
        case Qt::Key_Backspace:
            setPath(ParentPath(mPath));
            return;
        default:
            QTreeWidget::keyPressEvent(event);
    }
}

// ---- FileList

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Q_EMIT DblClick(); });
    mPath = NormalFolderPath(QDir::currentPath());
    refresh();
}

void FileList::setPath(const QString& path) {
    mPath = NormalFolderPath(path);
    refresh();
}

void FileList::setPattern(const QString& pattern) {
    mPattern = pattern;
    refresh();
}

QString FileList::fileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void FileList::refresh() {
    clear();
    const QDir folder(mPath);
    QStringList names;
    const QFileInfoList found = folder.entryInfoList(
        QStringList{mPattern}, QDir::Files | QDir::CaseSensitive, QDir::NoSort);
    for (const QFileInfo& info : found)
        if (info.isFile() && !IsHidden(info.fileName())) names.append(info.fileName());
    SortByBytes(names);
    addItems(names);
}

void FileList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !fileName().isEmpty()) {
        Q_EMIT DblClick();
        return;
    }
    QListWidget::keyPressEvent(event);
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_FolderLists.cpp"
