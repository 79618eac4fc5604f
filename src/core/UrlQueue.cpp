#include "core/UrlQueue.h"

namespace {

void AddText(SteadyHash<QString, int>& index, const QString& text) {
    if (int* n = index.findForChange(text))
        ++*n;
    else
        index.insert(text, 1);
}

void RemoveText(SteadyHash<QString, int>& index, const QString& text) {
    int* n = index.findForChange(text);
    if (n && --*n <= 0) index.remove(text);
}

}  // namespace

UrlQueue::UrlQueue(QObject* parent) : QAbstractListModel(parent), mSelection(this) {}

UrlQueue::~UrlQueue() = default;

QString UrlQueue::entry(int index) const {
    return index >= 0 && index < count() ? mEntries.at(index) : QString();
}

void UrlQueue::showPending() {
    if (mShown >= count()) return;
    beginInsertRows(QModelIndex(), mShown, count() - 1);
    mShown = count();
    endInsertRows();
}

void UrlQueue::append(const QString& text) {
    mEntries.append(text);
    AddText(mIndex, text);
    ++mRevision;
    if (mShowQueued) return;
    mShowQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            mShowQueued = false;
            showPending();
        },
        Qt::QueuedConnection);
}

void UrlQueue::appendAll(const QStringList& texts) {
    showPending();
    if (texts.isEmpty()) return;
    ++mRevision;
    beginInsertRows(QModelIndex(), count(), count() + int(texts.size()) - 1);
    for (const QString& t : texts) {
        mEntries.append(t);
        AddText(mIndex, t);
    }
    mShown = count();
    endInsertRows();
}

bool UrlQueue::removeAt(int index) {
    if (index < 0 || index >= count()) return false;
    showPending();
    ++mRevision;
    beginRemoveRows(QModelIndex(), index, index);
    RemoveText(mIndex, mEntries.at(index));
    mEntries.removeAt(index);
    mShown = count();
    endRemoveRows();
    return true;
}

void UrlQueue::clear() {
    if (mEntries.isEmpty()) return;
    ++mRevision;
    beginResetModel();
    FreeElsewhere(std::exchange(mEntries, {}));
    mIndex.clear();
    mShown = 0;
    endResetModel();
    mSelection.clear();
}

bool UrlQueue::setEntry(int index, const QString& text) {
    if (index < 0 || index >= count()) return false;
    showPending();
    ++mRevision;
    RemoveText(mIndex, mEntries.at(index));
    mEntries[index] = text;
    AddText(mIndex, text);
    const QModelIndex mi = this->index(index);
    Q_EMIT dataChanged(mi, mi, {Qt::DisplayRole});
    return true;
}

int UrlQueue::selectedIndex() const {
    const QModelIndexList rows = mSelection.selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void UrlQueue::setSelectedIndex(int index) {
    if (index < 0 || index >= count()) {
        mSelection.clearSelection();
        return;
    }
    showPending();
    mSelection.setCurrentIndex(this->index(index), QItemSelectionModel::ClearAndSelect);
}

int UrlQueue::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : mShown;
}

QModelIndex UrlQueue::index(int row, int column, const QModelIndex& parent) const {
    return row >= 0 && row < mShown && column == 0 && !parent.isValid() ? createIndex(row, 0)
                                                                        : QModelIndex();
}

QVariant UrlQueue::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return mEntries.at(index.row());
    return {};
}
