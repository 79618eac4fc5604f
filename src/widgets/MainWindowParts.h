#pragma once
// The parts of the main window that the dialogs read and write. A dialog gets these instead of
// the whole window.

class QLineEdit;
class QString;
class QWidget;
class UrlQueue;

struct MainWindowParts {
    QWidget* window = nullptr;  // disabled while a dialog is open; the dialog enables it again
    QLineEdit* txtURLBasePath = nullptr;
    QLineEdit* txtDownloadBasePath = nullptr;
    UrlQueue* lstLink = nullptr;
    UrlQueue* lstImage = nullptr;
    QString* loadedQueue = nullptr;  // the crawl settings file read into the window last
};
