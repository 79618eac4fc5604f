#pragma once
// The contact sheet's pictures as a list model: one row per numbered picture of a run folder,
// in number order (or with look-alikes together). The folder is listed and put in order off the
// window's thread and its rows arrive in one step (a view that lays out a batch per pass of the
// event loop then fills without holding the window, where rows added in pieces would make it
// start its layout afresh for each piece). A thumbnail is asked for only when the view asks
// for the row's picture, that is for the rows it paints.

#include <QAbstractListModel>
#include <QCache>
#include <QHash>
#include <QIcon>
#include <QSet>
#include <QStringList>
#include <memory>
#include <vector>

#include "sheetlogic/SheetFiles.h"
#include "sheetlogic/ThumbnailCache.h"

class ResultMailbox;
class ThumbnailLoader;

class SheetModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit SheetModel(ThumbnailCache cache = ThumbnailCache(), QObject* parent = nullptr);
    ~SheetModel() override;

    // Empties the sheet and lists the folder anew; filled() follows once every row is there.
    void setFolder(const QString& folder);
    QString folder() const { return mFolder; }
    bool filling() const { return mFilling; }

    QString nameAt(int row) const { return mNames.value(row); }
    QString fileAt(int row) const { return mFolder + u'/' + mNames.value(row); }
    int rowOf(const QString& name) const { return mRows.value(name, -1); }
    const QStringList& names() const { return mNames; }

    // Takes the named rows away (their files went to the trash).
    void remove(const QStringList& names);
    // Look-alike groups (paths, each group's largest first, as GroupRunLookAlikes gives them)
    // shown together ahead of the other pictures, each group on a tint of its own; no groups:
    // number order again. Names no longer in the sheet are left out, and so are groups left
    // with one picture.
    void setGroups(const std::vector<std::vector<QString>>& groups);
    const std::vector<QStringList>& groups() const { return mGroups; }
    // Every grouped picture but each group's largest: what clearing the look-alikes takes away.
    QStringList allButLargest() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    static constexpr int kIconsKept = 600;  // thumbnails held in memory, about 25 MB

    // The height of a row's pictures: the tallest thumbnail's so far, the whole square until
    // one came, so that no row is taller than the tallest picture it may hold.
    int rowHeight() const;

Q_SIGNALS:
    void filled(int rows);
    void rowHeightChanged(int height);

private:
    void thumbnailReady(const QString& file, const QImage& thumbnail);
    void setOrder(const QStringList& first);
    void renumber();

    ThumbnailLoader* mLoader;
    std::shared_ptr<ResultMailbox> mMailbox;
    QString mFolder;
    quint64 mSerial = 0;  // each folder set anew: results of an older listing are dropped
    bool mFilling = false;
    QStringList mNames;
    QHash<QString, int> mRows;
    std::vector<QStringList> mGroups;  // names
    QHash<QString, int> mGroupOf;
    mutable QCache<QString, QIcon> mIcons;
    QSet<QString> mBroken;  // cannot be decoded: not asked for again
    QIcon mPlaceholder;
    int mTallest = 0;  // of the thumbnails so far
};
