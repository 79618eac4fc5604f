#pragma once
// The manual viewer: ReadMe.txt, one list entry per line, in a resizable window that leaves the
// main window usable. It deletes itself when closed; the next opening reads the manual again.

#include <QWidget>

class QListView;
class QPushButton;
class ManualListModel;

class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    QPushButton* cmdClose = nullptr;
    QListView* lstHelp = nullptr;

    void Form_Load();
    void Form_Resize();
    void cmdClose_Click();

    // The manual's lines as listed.
    ManualListModel* manualModel() const { return mModel; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    ManualListModel* mModel = nullptr;
};
