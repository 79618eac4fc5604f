#include "widgets/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0),
                 qRound(height / 15.0));
}

void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

void FixSizeAndCentre(QWidget* window, int widthTwips, int heightTwips) {
    window->setFixedSize(TwipsRect(0, 0, widthTwips, heightTwips).size());
    CentreOnScreen(window);
}
