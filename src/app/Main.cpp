#include "app/Main.h"

#include <QApplication>

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    return app.exec();
}
