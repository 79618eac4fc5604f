#include "dialogs/frmHelp.h"

#include <QGuiApplication>
#include <QListView>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStyledItemDelegate>
#include <utility>

#include "core/AppPaths.h"
#include "core/WindowSystem.h"
#include "dialoglogic/HelpLayout.h"
#include "dialoglogic/ManualText.h"
#include "dialogs/ListExtent.h"

namespace {

constexpr int Px(int twips) {
    return twips / kTwipsPerPixel;
}

// Every line gets the full scroll range as its width. The list can then take all lines as one
// size (fast for a manual of any length) without cutting a long line short of the range.
class ManualLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(kHelpListExtentPixels);
        size.setHeight(qMax(size.height(), option.fontMetrics.height() + 2));
        return size;
    }
};

// Lays a long manual out in batches, with the window answering between them: a million lines
// in one go held the window for a tenth of a second. Whatever needs the rows past the batches
// done so far (End, Page Down, a search by typing) finishes the layout first, so it lands
// where it would have landed on a list laid out in full.
class ManualListView : public QListView {
public:
    static constexpr int kRowsPerBatch = 50'000;

    explicit ManualListView(QWidget* parent) : QListView(parent) {
        setLayoutMode(QListView::Batched);
        setBatchSize(kRowsPerBatch);
    }
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override {
        finishLayout();
        QListView::scrollTo(index, hint);
    }

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
        finishLayout();
        return QListView::moveCursor(action, modifiers);
    }

private:
    // Only the last row's place tells whether the batches have come to the end.
    void finishLayout() {
        const int rows = model() ? model()->rowCount() : 0;
        if (rows == 0 || rectForIndex(model()->index(rows - 1, 0)).isValid()) return;
        setLayoutMode(QListView::SinglePass);
        doItemsLayout();
        setLayoutMode(QListView::Batched);
    }
};

void CentreOnScreen(QWidget* window) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    lstHelp = new ManualListView(this);
    cmdClose->setGeometry(Px(4560), Px(4680), Px(1935), Px(375));
    lstHelp->setGeometry(Px(120), Px(120), Px(6375), Px(4380));
    setTabOrder(cmdClose, lstHelp);

    mModel = new ManualListModel(this);
    lstHelp->setModel(mModel);
    lstHelp->setItemDelegate(new ManualLineDelegate(lstHelp));
    lstHelp->setUniformItemSizes(true);
    lstHelp->setTextElideMode(Qt::ElideNone);
    lstHelp->setWordWrap(false);
    lstHelp->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstHelp->setSelectionMode(QAbstractItemView::SingleSelection);
    lstHelp->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    connect(cmdClose, &QPushButton::clicked, this, &frmHelp::cmdClose_Click);
    resize(Px(6615), Px(5205));
    CentreOnScreen(this);
    cmdClose->setFocus();
    Form_Load();
}

void frmHelp::Form_Load() {
    setWindowTitle(QStringLiteral("Site Rambler - 説明書"));
    ManualText manual;
    // A manual of a million lines takes a while to read: the windows keep answering meanwhile.
    const bool complete =
        manual.load(CurrentAppPaths().manualFile, [] { return ws().YieldNoThrow(); });
    mModel->setManual(std::move(manual));
    if (!complete && !ws().Ending()) {
        ws().MsgBox(QStringLiteral("ReadMe.txt がみつかりません。"),
                    QStringLiteral("ファイルエラー"), MB_OK | MB_ICONWARNING);
    }
}

void frmHelp::Form_Resize() {
    const HelpLayout layout = HelpLayoutFor(width(), height());
    QRect list = lstHelp->geometry();
    if (layout.listHeight) list.setHeight(*layout.listHeight);
    if (layout.listWidth) list.setWidth(*layout.listWidth);
    lstHelp->setGeometry(list);
    cmdClose->move(layout.closeLeft, layout.closeTop);
    SetListHorizontalExtent(lstHelp, kHelpListExtentPixels);
}

void frmHelp::cmdClose_Click() {
    close();
}

void frmHelp::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmHelp.cpp"
