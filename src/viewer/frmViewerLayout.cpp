// The viewer's window: its controls, their places, the resize rules and the scroll bars.
#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QWindow>
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "core/WindowSystem.h"
#include "core/basGlobal.h"
#include "viewer/ImageBox.h"
#include "viewer/frmViewer.h"

namespace {

// Smallest outer size of the window, in twips.
constexpr int kMinOuterWidth = 8600;
constexpr int kMinOuterHeight = 2500;
// Scroll steps in twips; the scroll bars count in twips too.
constexpr int kArrowStep = 250;
constexpr int kPageStep = 500;

int CeilPx(int twips) {
    return (twips + frmViewer::kTwipsPerPixel - 1) / frmViewer::kTwipsPerPixel;
}

// Places a control by twips; a size that comes out negative (a tiny or minimised window)
// becomes zero, and the next resize lays it out again.
void Place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(frmViewer::Px(left), frmViewer::Px(top), std::max(0, frmViewer::Px(width)),
                   std::max(0, frmViewer::Px(height)));
}

int KeyCodeOf(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Escape:
            return 27;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Delete:
            return 46;
        case Qt::Key_F1:
            return 112;
        default:
            return 0;
    }
}

int ShiftOf(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

QPushButton* MakeButton(QWidget* parent, const QString& text, const QString& tip) {
    auto* button = new QPushButton(text, parent);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

int frmViewer::Px(int twips) {
    // Halves away from zero, so that negative offsets mirror positive ones.
    const int sign = twips < 0 ? -1 : 1;
    return sign * ((std::abs(twips) * 2 + kTwipsPerPixel) / (2 * kTwipsPerPixel));
}

QSize frmViewer::OuterTwips() const {
    const QSize outer = frameGeometry().size();
    return QSize(outer.width() * kTwipsPerPixel, outer.height() * kTwipsPerPixel);
}

frmViewer::frmViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    // Reading a folder of many thousand files takes a while; the window stays live meanwhile.
    // The pauses come after every small step; the yield's clock decides when to serve.
    mIndex.setPause([] { ws().Yield(); });
    CreateControls();
    ConnectControls();
    ResetState();
    setWindowTitle(QStringLiteral("Site Rambler - 画像ビューア"));
    resize(Px(8535), Px(5925));
    Form_Resize();
}

frmViewer::~frmViewer() {
    if (mKeyWindow) mKeyWindow->removeEventFilter(this);
}

void frmViewer::CreateControls() {
    QPalette window = palette();
    window.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(window);
    setAutoFillBackground(true);

    lblTitle = new QLabel(QStringLiteral("参照フォルダ"), this);
    Place(lblTitle, 120, 160, 1215, 255);
    txtDir = new QLineEdit(this);
    Place(txtDir, 1320, 120, 7095, 270);
    const QString texts[4] = {QStringLiteral("<<"), QStringLiteral("<"), QStringLiteral(">"),
                              QStringLiteral(">>")};
    const QString tips[4] = {
        QStringLiteral("ディレクトリ内で最も番号の小さいファイルを表示します。 [HOME]"),
        QStringLiteral(
            "現在表示されているファイルより小さい番号のファイルを表示します。 [PAGE UP]"),
        QStringLiteral(
            "現在表示されているファイルより大きい番号のファイルを表示します。 [PAGE DOWN]"),
        QStringLiteral("ディレクトリ内で最も番号の大きいファイルを表示します。 [END]")};
    const int lefts[4] = {120, 1320, 2520, 3720};
    for (int i = 0; i < 4; ++i) {
        cmdControll[i] = MakeButton(this, texts[i], tips[i]);
        Place(cmdControll[i], lefts[i], 5400, 1095, 375);
    }
    cmdRefresh = MakeButton(this, QStringLiteral("更新"),
                            QStringLiteral("ディレクトリ内のファイル状況を反映します。 [F1]"));
    Place(cmdRefresh, 4920, 5400, 1095, 375);
    cmdDelete =
        MakeButton(this, QStringLiteral("削除"),
                   QStringLiteral("現在表示されているイメージファイルを削除します。 [DEL]"));
    Place(cmdDelete, 6120, 5400, 1095, 375);
    cmdClose = MakeButton(this, QStringLiteral("閉じる"),
                          QStringLiteral("このウインドウを閉じます。 [ESC]"));
    Place(cmdClose, 7320, 5400, 1095, 375);

    picViewer = new QWidget(this);
    QPalette grey = picViewer->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    picViewer->setPalette(grey);
    picViewer->setAutoFillBackground(true);
    picViewer->setFocusPolicy(Qt::StrongFocus);
    Place(picViewer, 120, 480, 8055, 4575);
    imgViewer = new ImageBox(picViewer);
    lblComment = new QLabel(picViewer);
    lblComment->setAlignment(Qt::AlignCenter);
    QPalette comment = lblComment->palette();
    comment.setColor(QPalette::WindowText, palette().color(QPalette::HighlightedText));
    lblComment->setPalette(comment);
    lblComment->setAutoFillBackground(false);
    lblComment->resize(Px(5535), Px(255));
    lblComment->raise();

    srbHScroll = new QScrollBar(Qt::Horizontal, this);
    Place(srbHScroll, 120, 5040, 8055, 255);
    srbVScroll = new QScrollBar(Qt::Vertical, this);
    Place(srbVScroll, 8160, 480, 255, 4575);
    for (QScrollBar* bar : {srbHScroll, srbVScroll}) {
        bar->setRange(0, 0);
        bar->setSingleStep(kArrowStep);
        bar->setPageStep(kPageStep);
        bar->setFocusPolicy(Qt::StrongFocus);
        // The change handler runs when the value settles; the scroll handler follows a drag.
        bar->setTracking(false);
    }

    QWidget* order[] = {txtDir,         cmdControll[0], cmdControll[1], cmdControll[2],
                        cmdControll[3], cmdRefresh,     cmdDelete,      cmdClose,
                        picViewer,      srbHScroll,     srbVScroll};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    txtDir->setFocus();
}

void frmViewer::ConnectControls() {
    for (int i = 0; i < 4; ++i)
        connect(cmdControll[i], &QPushButton::clicked, this,
                [this, i] { cmdControll_Click(std::int16_t(i)); });
    connect(cmdRefresh, &QPushButton::clicked, this, [this] { cmdRefresh_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    connect(srbHScroll, &QScrollBar::valueChanged, this, [this] { srbHScroll_Change(); });
    connect(srbVScroll, &QScrollBar::valueChanged, this, [this] { srbVScroll_Change(); });
    connect(srbHScroll, &QScrollBar::sliderMoved, this, [this] { srbHScroll_Scroll(); });
    connect(srbVScroll, &QScrollBar::sliderMoved, this, [this] { srbVScroll_Scroll(); });
    // Beside the designed controls, none of which it moves: a context menu entry and a key.
    auto* sheet = new QAction(QStringLiteral("一覧 [F4]"), this);
    sheet->setShortcut(Qt::Key_F4);
    connect(sheet, &QAction::triggered, this, [this] {
        if (mSheetOpener) mSheetOpener(gRunFolder, mCurrentFile);
    });
    addAction(sheet);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void frmViewer::Form_Resize() {
    // The window system's minimum keeps the user from going below the smallest size; a size
    // set by a program is snapped back here.
    const QSize frame = frameGeometry().size() - size();
    setMinimumSize(std::max(0, CeilPx(kMinOuterWidth) - frame.width()),
                   std::max(0, CeilPx(kMinOuterHeight) - frame.height()));
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        if (OuterTwips().width() < kMinOuterWidth)
            resize(CeilPx(kMinOuterWidth) - frame.width(), height());
        if (OuterTwips().height() < kMinOuterHeight)
            resize(width(), CeilPx(kMinOuterHeight) - frame.height());
    }
    const int W = OuterTwips().width();
    const int H = OuterTwips().height();
    Place(picViewer, 120, 480, W - 550, H - 1870);
    Place(srbVScroll, W - 470, 480, 255, H - 1880);
    Place(srbHScroll, 120, H - 1430, W - 550, 255);
    for (int i = 0; i < 4; ++i) {
        const int w = 1095;
        Place(cmdControll[i], i * w + i * 100 + 100, H - 950, w, 375);
    }
    Place(cmdRefresh, W - 3700, H - 950, 1095, 375);
    Place(cmdDelete, W - 2500, H - 950, 1095, 375);
    Place(cmdClose, W - 1300, H - 950, 1095, 375);
    lblComment->move(picViewer->width() / 2 - lblComment->width() / 2,
                     picViewer->height() / 2 - lblComment->height() / 2);
    Place(txtDir, 1320, 120, W - 1530, 270);
    ResetScrollBars();
}

void frmViewer::ResetScrollBars() {
    // Whole pixels of overhang, counted in twips; no 16-bit limit, so any picture the decoder
    // accepts can be scrolled to its far edges.
    const auto overhang = [](int picture, int area) {
        const qint64 twips = qint64(picture - area) * kTwipsPerPixel;
        return picture > area ? int(std::min<qint64>(twips, INT_MAX)) : 0;
    };
    srbVScroll->setMaximum(overhang(imgViewer->height(), picViewer->height()));
    srbVScroll->setValue(0);
    srbHScroll->setMaximum(overhang(imgViewer->width(), picViewer->width()));
    srbHScroll->setValue(0);
    imgViewer->move(0, 0);
}

void frmViewer::srbHScroll_Change() {
    imgViewer->move(-Px(srbHScroll->sliderPosition()), imgViewer->y());
}

void frmViewer::srbVScroll_Change() {
    imgViewer->move(imgViewer->x(), -Px(srbVScroll->sliderPosition()));
}

void frmViewer::srbHScroll_Scroll() {
    srbHScroll_Change();
}

void frmViewer::srbVScroll_Scroll() {
    srbVScroll_Change();
}

void frmViewer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmViewer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!mPlaced) {
        mPlaced = true;
        if (QScreen* screen = this->screen()) {
            QRect outer = frameGeometry();
            outer.moveCenter(screen->availableGeometry().center());
            move(outer.topLeft());
        }
    }
    // The window sees every key before the control that has the focus, and passes it on.
    if (QWindow* window = windowHandle(); window && window != mKeyWindow) {
        if (mKeyWindow) mKeyWindow->removeEventFilter(this);
        mKeyWindow = window;
        window->installEventFilter(this);
    }
    Form_Resize();
}

void frmViewer::closeEvent(QCloseEvent* event) {
    if (!mUnloading) Form_Unload();
    event->accept();
}

bool frmViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mKeyWindow && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        Form_KeyDown(KeyCodeOf(key->key()), ShiftOf(key->modifiers()));
    }
    return QWidget::eventFilter(watched, event);
}
