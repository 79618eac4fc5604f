#pragma once
// What the file dialogs' tests share: a stand-in for the main window (a real window, the two
// boxes, the two queues), a temporary folder that is also the working folder, and a drive list
// that sees only the volumes a test names.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include "QtPrinters.h"
#include "ScriptedWindowSystem.h"
#include "dialogs/FolderLists.h"
#include "widgets/MainWindowParts.h"
#include "core/UrlQueue.h"

struct FakeMainWindow {
    QWidget window;
    QLineEdit* url = new QLineEdit(&window);
    QLineEdit* download = new QLineEdit(&window);
    UrlQueue links;
    UrlQueue images;

    // As the main window does before it shows a dialog.
    MainWindowParts parts() {
        window.setEnabled(false);
        return MainWindowParts{&window, url, download, &links, &images};
    }
};

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        oldCwd = QDir::currentPath();
        QDir::setCurrent(tmp.path());
        useVolumes({"/"});
    }
    void TearDown() override {
        flushDeletes();
        for (const QPointer<QWidget>& d : opened) delete d.data();
        QDir::setCurrent(oldCwd);
        DriveList::SetVolumeLister({});
    }

    // Opens a dialog as the main window does: disabled window, dialog created and shown.
    template <class Dialog>
    Dialog* open() {
        auto* dialog = new Dialog(main.parts());
        opened.emplace_back(dialog);
        dialog->show();
        return dialog;
    }
    // Gone once closed: closing deletes the dialog.
    bool gone(QWidget* dialog) {
        flushDeletes();
        for (const QPointer<QWidget>& d : opened)
            if (d.data() == dialog) return false;
        return true;
    }

    static void useVolumes(const QStringList& roots) {
        DriveList::SetVolumeLister([roots] { return roots; });
    }
    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // A folder inside the temporary folder, made if missing.
    QString folder(const QString& relative) const {
        QDir(tmp.path()).mkpath(relative);
        return QDir(tmp.path()).filePath(relative);
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static QStringList entries(const QString& dir) {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                   QDir::Name);
    }

    QTemporaryDir tmp;
    QString oldCwd;
    std::vector<QPointer<QWidget>> opened;
    ScriptedWindowSystem script;
    FakeMainWindow main;
};

// A double click as the window system delivers one: press, release, double click, release.
inline void DoubleClick(QWidget* target, QPoint at) {
    QTest::mouseClick(target, Qt::LeftButton, {}, at);
    QTest::mouseDClick(target, Qt::LeftButton, {}, at);
    QTest::mouseRelease(target, Qt::LeftButton, {}, at);
}

// The widgets of `wanted` in the order the focus chain visits them, starting at the first.
inline std::vector<QWidget*> TabOrderOf(const std::vector<QWidget*>& wanted) {
    std::vector<QWidget*> order;
    QWidget* w = wanted.front();
    for (int guard = 0; guard < 500 && order.size() < wanted.size(); ++guard) {
        if (std::find(wanted.begin(), wanted.end(), w) != wanted.end() &&
            std::find(order.begin(), order.end(), w) == order.end())
            order.push_back(w);
        w = w->nextInFocusChain();
    }
    return order;
}
