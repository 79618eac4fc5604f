#pragma once
// 一覧, the contact sheet: the pictures of one run of the download folder as thumbnails in
// number order, a preview of the picture chosen that fits the window (or at its own size), its
// origin as a tooltip, Delete to move the chosen pictures to the trash, and a button that opens
// the run folder in the file manager. What it knows without drawing is in src/sheetlogic.
//
// The main window keeps one instance and opens it with Open(); closing it hides it.

#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "sheetlogic/RunList.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QPushButton;
class QScrollArea;
class QTimer;
class ResultMailbox;
class SheetModel;

class frmSheet : public QWidget {
    Q_OBJECT
public:
    explicit frmSheet(QWidget* parent = nullptr);
    ~frmSheet() override;

    // Shows the runs of the download folder and opens runFolder among them (the newest when
    // empty or not found), with the picture named select chosen when given.
    void Open(const QString& downloadFolder, const QString& runFolder = {},
              const QString& select = {});

    // Handlers, named after the controls and events they serve.
    void cboRun_Change();
    void cmdFolder_Click();
    void cmdZoom_Click();
    void cmdDelete_Click();
    void lstSheet_CurrentChanged();
    void chkSimilar_Click();
    void cmdClearSimilar_Click();

    // Controls.
    QComboBox* cboRun = nullptr;
    QPushButton* cmdFolder = nullptr;
    QPushButton* cmdZoom = nullptr;
    QCheckBox* chkSimilar = nullptr;
    QPushButton* cmdClearSimilar = nullptr;
    QLabel* lblStatus = nullptr;
    QListView* lstSheet = nullptr;
    QScrollArea* picArea = nullptr;
    QLabel* picPreview = nullptr;

    SheetModel& model() { return *mModel; }
    const std::vector<RunSummary>& runs() const { return mRuns; }
    // Runs the list of runs was read for (tests wait for it).
    int runListings() const { return mRunListings; }

Q_SIGNALS:
    void previewShown();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CreateControls();
    void FitRows(int height);
    void ConnectControls();
    void ShowRuns(std::vector<RunSummary> runs, const QString& runFolder);
    void ShowStatus();
    void RequestPreview();
    // Finds the run's look-alikes off the window's thread, then shows them together.
    void FindLookAlikes(std::function<void()> then = {});
    void StopLookAlikes();
    void Trash(const QStringList& names);

    SheetModel* mModel = nullptr;
    std::shared_ptr<ResultMailbox> mMailbox;
    std::vector<RunSummary> mRuns;
    QString mSelect;      // picture to choose once the run's rows are there
    QString mStatusNote;  // what the last action did
    quint64 mPreviewSerial = 0;
    QTimer* mPreviewDelay = nullptr;  // a resize asks for one preview, not one per step
    int mRunListings = 0;
    std::shared_ptr<std::atomic<bool>> mGroupStop;  // the search under way, if any
};
