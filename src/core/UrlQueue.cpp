#include "core/UrlQueue.h"

#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <utility>

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

UrlQueue::UrlQueue(QObject* parent) : QAbstractListModel(parent), mSelection(this) {
    // what the user selects in the view is the queue's selection at once
    connect(&mSelection, &QItemSelectionModel::selectionChanged, this,
            [this] { takeViewSelection(); });
}

UrlQueue::~UrlQueue() = default;

QString UrlQueue::entry(int index) const {
    return index >= 0 && index < count() ? mEntries.at(index) : QString();
}

void UrlQueue::showRows() {
    if (mShown >= count()) return;
    const QScopedValueRollback own(mOwnChange, true);
    beginInsertRows(QModelIndex(), mShown, count() - 1);
    mShown = count();
    endInsertRows();
}

void UrlQueue::showPending() {
    showRows();
    if (std::exchange(mSelectionShown, true)) return;
    const QScopedValueRollback own(mOwnChange, true);
    if (mSelected < 0)
        mSelection.clearSelection();
    else
        mSelection.setCurrentIndex(index(mSelected), QItemSelectionModel::ClearAndSelect);
}

void UrlQueue::takeViewSelection() {
    if (mOwnChange) return;
    // rows and exact indexes agree: only appends wait for the view, and they go at the end
    const QModelIndexList rows = mSelection.selectedRows();
    mSelected = rows.isEmpty() ? -1 : rows.first().row();
    mSelectionShown = true;
}

void UrlQueue::queueShow() {
    if (std::exchange(mShowQueued, true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            mShowQueued = false;
            showPending();
        },
        Qt::QueuedConnection);
}

void UrlQueue::append(const QString& text) {
    mEntries.append(text);
    AddText(mIndex, text);
    ++mRevision;
    queueShow();
}

void UrlQueue::appendAll(const QStringList& texts) {
    showRows();
    const QScopedValueRollback own(mOwnChange, true);
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
    showRows();
    const QScopedValueRollback own(mOwnChange, true);
    if (mSelected == index)
        mSelected = -1;
    else if (mSelected > index)
        --mSelected;
    // The selection model follows the removal by itself; told of it, the view would lay out
    // its rows at once, for every entry the crawl takes. It repaints after the removal anyway.
    const QSignalBlocker quiet(mSelection);
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
    const QScopedValueRollback own(mOwnChange, true);
    mSelected = -1;
    mSelectionShown = true;  // the reset clears the view's selection too
    ++mRevision;
    beginResetModel();
    FreeEntries(std::exchange(mEntries, {}));
    mIndex.clear();
    mShown = 0;
    endResetModel();
    mSelection.clear();
}

bool UrlQueue::setEntry(int index, const QString& text) {
    if (index < 0 || index >= count()) return false;
    showRows();
    ++mRevision;
    RemoveText(mIndex, mEntries.at(index));
    mEntries[index] = text;
    AddText(mIndex, text);
    const QModelIndex mi = this->index(index);
    Q_EMIT dataChanged(mi, mi, {Qt::DisplayRole});
    return true;
}

void UrlQueue::setSelectedIndex(int index) {
    const int selected = index >= 0 && index < count() ? index : -1;
    if (selected == mSelected) return;
    mSelected = selected;
    mSelectionShown = false;
    queueShow();
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

// (moc's code is compiled with this file: see sr_library)
#include "moc_UrlQueue.cpp"
