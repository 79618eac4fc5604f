#include "sheetlogic/SheetModel.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <utility>

#include "archive/CrawlArchive.h"
#include "sheetlogic/OffThread.h"
#include "sheetlogic/ThumbnailLoader.h"

namespace {

// The square every thumbnail fits in, drawn until the thumbnail comes: the grid keeps its shape.
QIcon Square(const QColor& line) {
    const int edge = ThumbnailCache::Pixels(ThumbnailCache::Size::Normal);
    QPixmap square(edge, edge);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.setPen(line);
    painter.drawRect(0, 0, edge - 1, edge - 1);
    return QIcon(square);
}

}  // namespace

SheetModel::SheetModel(ThumbnailCache cache, QObject* parent)
    : QAbstractListModel(parent),
      mLoader(new ThumbnailLoader(std::move(cache), this)),
      mMailbox(std::make_shared<ResultMailbox>(this)),
      mIcons(kIconsKept),
      mPlaceholder(Square(QColor(0xd0, 0xd0, 0xd0))) {
    connect(mLoader, &ThumbnailLoader::ready, this, &SheetModel::thumbnailReady);
}

SheetModel::~SheetModel() {
    mMailbox->close();
}

void SheetModel::setFolder(const QString& folder) {
    const quint64 serial = ++mSerial;
    beginResetModel();
    mFolder = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    mNames.clear();
    mRows.clear();
    mGroups.clear();
    mGroupOf.clear();
    mIcons.clear();
    mBroken.clear();
    mLoader->clear();
    mFilling = true;
    if (std::exchange(mTallest, 0) != 0) Q_EMIT rowHeightChanged(rowHeight());
    endResetModel();
    struct Rows {
        QStringList names;
        QHash<QString, int> rows;
    };
    RunOffThread(
        mMailbox,
        [folder = mFolder] {
            Rows listed;
            for (SheetPicture& picture : PicturesOf(folder)) {
                listed.rows.insert(picture.name, int(listed.names.size()));
                listed.names.append(std::move(picture.name));
            }
            return listed;
        },
        [this, serial](Rows listed) {
            if (serial != mSerial) return;
            mFilling = false;
            if (!listed.names.isEmpty()) {
                beginInsertRows({}, 0, int(listed.names.size()) - 1);
                mNames = std::move(listed.names);
                mRows = std::move(listed.rows);
                endInsertRows();
            }
            Q_EMIT filled(int(mNames.size()));
        });
}

void SheetModel::remove(const QStringList& names) {
    std::vector<int> rows;
    for (const QString& name : names)
        if (const int row = rowOf(name); row >= 0) rows.push_back(row);
    std::sort(rows.begin(), rows.end(), std::greater<>());
    // Neighbouring rows go in one step: a view lays itself out again after each.
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] - 1) ++j;
        beginRemoveRows({}, rows[j], rows[i]);
        mNames.remove(rows[j], rows[i] - rows[j] + 1);
        endRemoveRows();
        i = j + 1;
    }
    for (const QString& name : names) mIcons.remove(name);
    renumber();
    if (!mGroups.empty()) {
        std::vector<std::vector<QString>> left;
        for (const QStringList& group : mGroups) left.emplace_back(group.begin(), group.end());
        setGroups(left);
    }
}

void SheetModel::setGroups(const std::vector<std::vector<QString>>& groups) {
    mGroups.clear();
    mGroupOf.clear();
    QStringList first;
    for (const std::vector<QString>& paths : groups) {
        QStringList group;
        for (const QString& path : paths)
            if (const QString name = QFileInfo(path).fileName(); mRows.contains(name))
                group.append(name);
        if (group.size() < 2) continue;
        for (const QString& name : group) mGroupOf.insert(name, int(mGroups.size()));
        first += group;
        mGroups.push_back(group);
    }
    setOrder(first);
}

QStringList SheetModel::allButLargest() const {
    QStringList lesser;
    for (const QStringList& group : mGroups) lesser += group.mid(1);
    return lesser;
}

void SheetModel::setOrder(const QStringList& first) {
    beginResetModel();
    QSet<QString> taken;
    QStringList order;
    for (const QString& name : first)
        if (mRows.contains(name) && !taken.contains(name)) {
            order.append(name);
            taken.insert(name);
        }
    QStringList rest;
    for (const QString& name : std::as_const(mNames))
        if (!taken.contains(name)) rest.append(name);
    // The rest back in number order, whatever order was shown before.
    std::stable_sort(rest.begin(), rest.end(), [](const QString& a, const QString& b) {
        return a.section(u'.', 0, 0).toLongLong() < b.section(u'.', 0, 0).toLongLong();
    });
    mNames = order + rest;
    renumber();
    endResetModel();
}

void SheetModel::renumber() {
    mRows.clear();
    mRows.reserve(mNames.size());
    for (int row = 0; row < mNames.size(); ++row) mRows.insert(mNames[row], row);
}

int SheetModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(mNames.size());
}

QVariant SheetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= mNames.size()) return {};
    const QString& name = mNames[index.row()];
    switch (role) {
        case Qt::DisplayRole:
            return name;
        case Qt::DecorationRole: {
            if (const QIcon* icon = mIcons.object(name)) return *icon;
            if (!mBroken.contains(name)) mLoader->request(fileAt(index.row()));
            return mPlaceholder;
        }
        case Qt::ToolTipRole: {
            // What the viewer tells of a picture: where it came from and the page it was on.
            const std::optional<StoredFileOrigin> origin = LookUpOrigin(fileAt(index.row()));
            return origin ? OriginTooltip(*origin) : name;
        }
        case Qt::BackgroundRole: {
            const int group = mGroupOf.value(name, -1);
            if (group < 0) return {};
            return QColor::fromHsv(group * 47 % 360, 40, 250);
        }
        default:
            return {};
    }
}

void SheetModel::thumbnailReady(const QString& file, const QImage& thumbnail) {
    const QFileInfo info(file);
    if (info.path() != mFolder) return;  // another folder's, asked before the change
    const QString name = info.fileName();
    if (thumbnail.isNull()) {
        mBroken.insert(name);
    } else {
        mIcons.insert(name, new QIcon(QPixmap::fromImage(thumbnail)));
        if (thumbnail.height() > mTallest) {
            mTallest =
                std::min(thumbnail.height(), ThumbnailCache::Pixels(ThumbnailCache::Size::Normal));
            Q_EMIT rowHeightChanged(mTallest);
        }
    }
    if (const int row = rowOf(name); row >= 0) {
        const QModelIndex at = index(row);
        Q_EMIT dataChanged(at, at, {Qt::DecorationRole});
    }
}

int SheetModel::rowHeight() const {
    return mTallest > 0 ? mTallest : ThumbnailCache::Pixels(ThumbnailCache::Size::Normal);
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_SheetModel.cpp"
