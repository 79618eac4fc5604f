#pragma once
// A queue of URLs as the main window shows it: an unsorted list with at most one selected
// entry. The crawl works on it directly and the window's list view shows the same model, so
// what the user selects, edits or deletes is what the crawl sees at its next step.

#include <QAbstractListModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QStringList>

#include "core/SteadyHash.h"

class UrlQueue : public QAbstractListModel {
    Q_OBJECT
public:
    explicit UrlQueue(QObject* parent = nullptr);
    ~UrlQueue() override;

    // The queue itself: exact at every moment, whatever the view has heard of yet.
    int count() const { return static_cast<int>(mEntries.size()); }
    QString entry(int index) const;  // empty for an index out of range
    // The view hears of single appends once per pass of the event loop, as one insertion:
    // a scan appends hundreds of thousands, and a view told of each lays itself out each time.
    void append(const QString& text);
    bool removeAt(int index);  // false for an index out of range
    void clear();
    bool setEntry(int index, const QString& text);
    void appendAll(const QStringList& texts);  // the view hears of these at once
    const QStringList& entries() const { return mEntries; }

    // -1 when nothing is selected. Exact at every moment; the view shows a selection made here
    // once the event loop has run, as it shows appends: a crawl selects an entry at every
    // step, and a view told each time lays out its rows each time.
    int selectedIndex() const { return mSelected; }
    void setSelectedIndex(int index);  // -1 clears the selection
    QString selectedText() const { return entry(selectedIndex()); }

    // Exact, case-sensitive test against every entry, kept in step with every change so that
    // it costs the same for a list of ten entries or of a hundred thousand.
    bool contains(const QString& text) const { return mIndex.contains(text); }

    // Changes with every change of the entries: a reader that plans from them plans again only
    // when it moved.
    quint64 revision() const { return mRevision; }

    QItemSelectionModel* selectionModel() { return &mSelection; }

    // The rows the view has been told of (see append).
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Without the generic checks' virtual calls: a view's layout asks for every row.
    QModelIndex index(int row, int column = 0,
                      const QModelIndex& parent = QModelIndex()) const override;

    // Tells the view now of every entry appended and of the selection made since it last heard.
    void showPending();

private:
    QStringList mEntries;
    SteadyHash<QString, int> mIndex;  // text -> how many entries hold it
    QItemSelectionModel mSelection;
    int mShown = 0;  // entries the view has been told of
    int mSelected = -1;
    bool mShowQueued = false;
    bool mSelectionShown = true;  // the view's selection is mSelected
    bool mOwnChange = false;      // the selection model moves because this queue moved it

    void queueShow();
    void showRows();
    void takeViewSelection();
    quint64 mRevision = 0;
};
