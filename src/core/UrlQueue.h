#pragma once
// A queue of URLs as the main window shows it: an unsorted list with at most one selected
// entry. The crawl works on it directly and the window's list view shows the same model, so
// what the user selects, edits or deletes is what the crawl sees at its next step.

#include <QAbstractListModel>
#include <QHash>
#include <QItemSelectionModel>
#include <QStringList>

class UrlQueue : public QAbstractListModel {
    Q_OBJECT
public:
    explicit UrlQueue(QObject* parent = nullptr);

    int count() const { return static_cast<int>(mEntries.size()); }
    QString entry(int index) const;  // empty for an index out of range
    void append(const QString& text);
    bool removeAt(int index);        // false for an index out of range
    void clear();
    bool setEntry(int index, const QString& text);
    void appendAll(const QStringList& texts);
    const QStringList& entries() const { return mEntries; }

    // -1 when nothing is selected.
    int selectedIndex() const;
    void setSelectedIndex(int index);  // -1 clears the selection
    QString selectedText() const { return entry(selectedIndex()); }

    // Exact, case-sensitive test against every entry, kept in step with every change so that
    // it costs the same for a list of ten entries or of a hundred thousand.
    bool contains(const QString& text) const { return mIndex.contains(text); }

    QItemSelectionModel* selectionModel() { return &mSelection; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void indexAdd(const QString& text);
    void indexRemove(const QString& text);

    QStringList mEntries;
    QHash<QString, int> mIndex;  // text -> how many entries hold it
    QItemSelectionModel mSelection;
};
