#include "widgets/QtWindowSystem.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

QMessageBox::Icon IconOf(int style) {
    switch (style & 0xF0) {
        case MB_ICONERROR: return QMessageBox::Critical;
        case MB_ICONQUESTION: return QMessageBox::Question;
        case MB_ICONWARNING: return QMessageBox::Warning;
        case MB_ICONINFORMATION: return QMessageBox::Information;
        default: return QMessageBox::NoIcon;
    }
}

// A carriage return alone is a line break in the program's texts.
QString WithLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

constexpr qint64 kRepaintGapMs = 30;
constexpr char kLastPaint[] = "srLastPaintMs";
constexpr char kPaintHeld[] = "srPaintHeld";

}  // namespace

// A yield serves a window's input every slice, but a fast crawl changes its lists at every
// step, and a repaint at every slice took a quarter of the crawl's thread (the lists' text is
// shaped anew each time). Inside a yield a window repaints at most every kRepaintGapMs; the
// held repaint is asked for again when the gap is over, so the last state is always shown.
class QtWindowSystem::PaintPace final : public QObject {
public:
    explicit PaintPace(QtWindowSystem& owner) : mOwner(owner) { mClock.start(); }

    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() != QEvent::UpdateRequest || !target->isWidgetType()) return false;
        const qint64 now = mClock.elapsed();
        const QVariant last = target->property(kLastPaint);
        const qint64 wait = last.isValid() ? last.toLongLong() + kRepaintGapMs - now : 0;
        if (!mOwner.InService() || wait <= 0) {
            target->setProperty(kLastPaint, now);
            return false;
        }
        if (!target->property(kPaintHeld).toBool()) {
            target->setProperty(kPaintHeld, true);
            QTimer::singleShot(wait, target, [target] {
                target->setProperty(kPaintHeld, false);
                QCoreApplication::postEvent(target, new QEvent(QEvent::UpdateRequest),
                                            Qt::LowEventPriority);
            });
        }
        return true;
    }

private:
    QtWindowSystem& mOwner;
    QElapsedTimer mClock;
};

QtWindowSystem::QtWindowSystem() {
    if (qApp) {
        mPaintPace = std::make_unique<PaintPace>(*this);
        qApp->installEventFilter(mPaintPace.get());
    }
    QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance();
    if (!loop) return;
    // Only a pass of the program's own loop over the window system's queue serves the window:
    // the loop goes round (about to wait) only with every pending input taken. An event that
    // the crawl's own calls deliver on the spot (a caption, an icon, a list change) is no
    // such pass, and must not make a yield skip its turn.
    const auto passed = [this] {
        if (!InService()) ServicedElsewhere();
    };
    mAboutToBlock = QObject::connect(loop, &QAbstractEventDispatcher::aboutToBlock, passed);
    // Waiting with nothing to do is no gap either.
    mAwake = QObject::connect(loop, &QAbstractEventDispatcher::awake, passed);
}

QtWindowSystem::~QtWindowSystem() {
    QObject::disconnect(mAboutToBlock);
    QObject::disconnect(mAwake);
}

int QtWindowSystem::MsgBox(const QString& text, const QString& title, int style) {
    QMessageBox box(IconOf(style), title, WithLineBreaks(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    if (style & MB_SYSTEMMODAL) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const bool question = (style & 0xF) == MB_YESNOCANCEL;
    // The button texts are the program's own: its every other text is Japanese too.
    if (question) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        yes->setText(QStringLiteral("はい(&Y)"));
        QPushButton* no = box.addButton(QMessageBox::No);
        no->setText(QStringLiteral("いいえ(&N)"));
        box.addButton(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
        box.setEscapeButton(QMessageBox::Cancel);
        box.setDefaultButton((style & MB_DEFBUTTON2) ? no : yes);
    } else {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        ok->setText(QStringLiteral("OK"));
        box.setDefaultButton(ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.exec();
    ServicedElsewhere();  // the box's own loop kept the windows serviced
    QAbstractButton* clicked = box.clickedButton();
    if (!question) return IDOK;
    switch (box.standardButton(clicked)) {
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        default: return IDCANCEL;  // closing the box counts as Cancel
    }
}

QString QtWindowSystem::InputBox(const QString& prompt, const QString& title,
                                 const QString& defaultText) {
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.resize(qMax(dialog.sizeHint().width(), 360), dialog.sizeHint().height());
    const int result = dialog.exec();
    ServicedElsewhere();
    if (result != QDialog::Accepted) return QString();
    return dialog.textValue();
}

void QtWindowSystem::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
