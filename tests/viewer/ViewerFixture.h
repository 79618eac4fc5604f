#pragma once
// A run folder in a temporary directory, the scripted window-system layer and one viewer
// window, shown and opened the way the main window does it.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "QtPrinters.h"
#include "ScriptedWindowSystem.h"
#include "core/basGlobal.h"
#include "viewer/ImageBox.h"
#include "viewer/frmViewer.h"

class ViewerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        ASSERT_TRUE(mDir.isValid());
        gRunFolder = mDir.path();
    }
    void TearDown() override {
        mViewer.reset();
        ResetGlobals();
    }

    // The main window's way of opening the viewer.
    frmViewer& OpenViewer() {
        if (!mViewer) mViewer = std::make_unique<frmViewer>();
        mViewer->showNormal();
        mViewer->raise();
        mViewer->activateWindow();
        mViewer->Open();
        return *mViewer;
    }
    frmViewer& V() { return *mViewer; }

    QString PathOf(const QString& name) const { return mDir.filePath(name); }
    bool Exists(const QString& name) const { return QFile::exists(PathOf(name)); }
    void WriteBytes(const QString& name, const QByteArray& bytes) {
        QFile file(PathOf(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // A PNG picture of the given size, one colour.
    void WritePicture(const QString& name, int width = 40, int height = 30,
                      QColor colour = Qt::red) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(PathOf(name), "PNG"));
    }
    QString Caption() const { return mViewer->windowTitle(); }
    static QString ShownCaption(const QString& name, int kb, int count) {
        return QStringLiteral("Site Rambler - 画像ビューア ( %1 ( %2キロバイト ) / %3 )")
            .arg(name)
            .arg(kb)
            .arg(count);
    }
    static QString RefreshCaption(const QString& name, int count) {
        return QStringLiteral("Site Rambler - 画像ビューア ( %1 / %2 )").arg(name).arg(count);
    }
    static QString NotFoundCaption() {
        return QStringLiteral("Site Rambler - 画像ビューア ( イメージファイルが見つかりません )");
    }
    static QString CannotShow() {
        return QStringLiteral("[ このファイルは画像ビューアで表示できません ]");
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(mViewer->windowHandle(), key, modifiers);
    }

    ScriptedWindowSystem mWs;
    QTemporaryDir mDir;
    std::unique_ptr<frmViewer> mViewer;
};
