#pragma once
// The drive list, folder list and file list that the folder chooser and the two crawl settings
// dialogs are built from, and the window set-up those three dialogs share.
//
// Drives are the mounted volumes' root folders, "/" first. The folder list shows the chain of
// folders from "/" down to the open folder, then the open folder's subfolders; a double click
// or Enter opens the highlighted folder, Backspace opens the parent. Only opening changes the
// list's path: a folder that is merely highlighted is not chosen. Names beginning with "." are
// hidden and never listed.

#include <QComboBox>
#include <QListWidget>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>

#include "widgets/Twips.h"

// A fixed-size top-level window with a close box and no minimise or maximise box, of the given
// client size in twips, centred on the screen, deleted when closed.
void SetUpFixedDialog(QWidget* dialog, int widthTwips, int heightTwips);

// Enables the main window again when a dialog goes, however it goes. The window may already be
// gone when the program ends, hence the guarded pointer.
class MainWindowEnabler {
public:
    explicit MainWindowEnabler(QWidget* window) : mWindow(window) {}
    ~MainWindowEnabler() { enable(); }
    // Once only: a dialog deleted late must not enable the window under the next dialog.
    void enable() {
        if (mWindow) mWindow->setEnabled(true);
        mWindow = nullptr;
    }

private:
    QPointer<QWidget> mWindow;
};

class DriveList : public QComboBox {
    Q_OBJECT
public:
    // Filled with the mounted volumes; shows the volume that holds the working folder.
    explicit DriveList(QWidget* parent = nullptr);

    // The root folders of the mounted volumes that are folders, "/" first, then by name.
    static QStringList MountedRoots();
    // Replaces where the volume roots come from (tests); an empty function restores the real
    // mounted volumes. Lists built afterwards use it.
    static void SetVolumeLister(std::function<QStringList()> lister);

    QString drive() const;
    // Shows the drive with this root (added if it is not listed); Change follows when it differs
    // from the drive shown before.
    void setDrive(const QString& root);

Q_SIGNALS:
    void Change();

private:
    void fill(const QStringList& roots);
};

class FolderList : public QTreeWidget {
    Q_OBJECT
public:
    // Opens the working folder.
    explicit FolderList(QWidget* parent = nullptr);

    // The open folder: "/" for the root, any other folder without a trailing "/".
    QString path() const { return mPath; }
    // Opens a folder. Returns false and changes nothing when it cannot be listed (missing, not
    // a folder, not readable: the volume is "not ready"). Change follows when the path differs.
    bool setPath(const QString& path);
    // Lists the open folder again (folders made or removed meanwhile).
    void refresh();
    // The folder of the highlighted row, empty when none.
    QString highlightedPath() const;
    // Opens the highlighted folder, as a double click does.
    bool openHighlighted();

Q_SIGNALS:
    void Change();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect,
                      const QModelIndex& index) const override;

private:
    // False when the list was destroyed while it was being filled (the window answers events
    // meanwhile).
    bool fill();
    bool stillListing(const QPointer<FolderList>& self, quint64 serial);

    QString mPath;
    quint64 mFillSerial = 0;
};

class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    QString path() const { return mPath; }
    void setPath(const QString& path);
    QString pattern() const { return mPattern; }
    void setPattern(const QString& pattern);
    // The selected file's name, empty when no file is selected.
    QString fileName() const;
    void refresh();

Q_SIGNALS:
    // A double click on a file, or Enter on the selected file.
    void DblClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString mPath;
    QString mPattern = QStringLiteral("*");
};

// The folder list's path form of any folder path: absolute, cleaned, "/" separators, no
// trailing "/" except for the root itself.
QString NormalFolderPath(const QString& path);
