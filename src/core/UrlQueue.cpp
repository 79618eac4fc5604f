#include "core/UrlQueue.h"

UrlQueue::UrlQueue(QObject* parent) : QAbstractListModel(parent), mSelection(this) {}

QString UrlQueue::entry(int index) const {
    return index >= 0 && index < count() ? mEntries.at(index) : QString();
}

void UrlQueue::indexAdd(const QString& text) { ++mIndex[text]; }

void UrlQueue::indexRemove(const QString& text) {
    const auto it = mIndex.find(text);
    if (it == mIndex.end()) return;
    if (--it.value() <= 0) mIndex.erase(it);
}

void UrlQueue::append(const QString& text) {
    beginInsertRows(QModelIndex(), count(), count());
    mEntries.append(text);
    indexAdd(text);
    endInsertRows();
}

void UrlQueue::appendAll(const QStringList& texts) {
    if (texts.isEmpty()) return;
    beginInsertRows(QModelIndex(), count(), count() + int(texts.size()) - 1);
    for (const QString& t : texts) {
        mEntries.append(t);
        indexAdd(t);
    }
    endInsertRows();
}

bool UrlQueue::removeAt(int index) {
    if (index < 0 || index >= count()) return false;
    beginRemoveRows(QModelIndex(), index, index);
    indexRemove(mEntries.at(index));
    mEntries.removeAt(index);
    endRemoveRows();
    return true;
}

void UrlQueue::clear() {
    if (mEntries.isEmpty()) return;
    beginResetModel();
    mEntries.clear();
    mIndex.clear();
    endResetModel();
    mSelection.clear();
}

bool UrlQueue::setEntry(int index, const QString& text) {
    if (index < 0 || index >= count()) return false;
    indexRemove(mEntries.at(index));
    mEntries[index] = text;
    indexAdd(text);
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
    mSelection.setCurrentIndex(this->index(index), QItemSelectionModel::ClearAndSelect);
}

int UrlQueue::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant UrlQueue::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return mEntries.at(index.row());
    return {};
}
