#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include "core/AppPaths.h"
#include "core/ProfileFile.h"
#include "core/Settings.h"
#include "core/basGlobal.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobals();
        AppPaths p;
        p.executableFolder = dir.path();
        p.settingsFile = dir.filePath("Init.dat");
        p.aboutFile = p.settingsFile;
        p.manualFile = dir.filePath("ReadMe.txt");
        p.defaultDownloadFolder = dir.path();
        SetAppPaths(p);
    }
    void write(const QByteArray& bytes) {
        QFile f(dir.filePath("Init.dat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(SettingsTest, StartWithoutInitDatThenExitWritesFiveKeysWithoutAbout) {
    LoadSettings();
    EXPECT_EQ(gHTMLAutoDelete, "");
    EXPECT_EQ(gPictAutoDelete, "");
    EXPECT_EQ(gPictAutoDeleteSize, 2);
    ASSERT_TRUE(SaveSettings("", "/data"));
    QFile f(dir.filePath("Init.dat"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              "[Path]\nURL=\nDownload=/data\n[Option]\nHTMLAutoDelete=\nPictAutoDelete=\n"
              "PictAutoDeleteSize=2\n");
}

TEST_F(SettingsTest, SizeLimitIsReadOnlyWhenPictAutoDeleteHasAValue) {
    write("[Option]\nPictAutoDeleteSize=10\n");
    LoadSettings();
    EXPECT_EQ(gPictAutoDeleteSize, 2);
    write("[Option]\nPictAutoDelete=\nPictAutoDeleteSize=10\n");
    LoadSettings();
    EXPECT_EQ(gPictAutoDeleteSize, 2);
}

TEST_F(SettingsTest, SizeLimitConversion) {
    const std::pair<const char*, int> cases[] = {
        {"7.5", 8}, {"6.5", 6}, {" 12 ", 12}, {"letters", 2}, {"", 2}, {"99999999999", 2},
        {"5000", 5000}, {"-3", -3}};
    for (const auto& [text, expected] : cases) {
        gPictAutoDeleteSize = 2;
        write(QByteArray("[Option]\nPictAutoDelete=1\nPictAutoDeleteSize=") + text + "\n");
        LoadSettings();
        EXPECT_EQ(gPictAutoDeleteSize, expected) << text;
    }
}

TEST_F(SettingsTest, NamesInOtherLetterCaseAndAboutTextsAreRead) {
    write("[path]\nurl=http://x/\ndownload=/tmp\n[OPTION]\nhtmlautodelete=1\n"
          "[About]\nVersion=v9\nMail=m@x\nURL=http://about/\n");
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "http://x/");
    EXPECT_EQ(gDownloadBasePath, "/tmp");
    EXPECT_EQ(gHTMLAutoDelete, "1");
    EXPECT_EQ(gVersion, "v9");
    EXPECT_EQ(gAboutMail, "m@x");
    EXPECT_EQ(gAboutURL, "http://about/");
}

TEST_F(SettingsTest, SaveKeepsAboutSectionAndUntouchedLines) {
    write("; mine\r\n[Path]\r\nURL=a\r\n[About]\r\nVersion=v1\r\n");
    gHTMLAutoDelete = "1";
    gPictAutoDelete = "0";
    gPictAutoDeleteSize = -7;
    ASSERT_TRUE(SaveSettings("http://b/", "/d"));
    QFile f(dir.filePath("Init.dat"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              "; mine\r\n[Path]\r\nURL=http://b/\r\nDownload=/d\r\n[About]\r\nVersion=v1\r\n"
              "[Option]\r\nHTMLAutoDelete=1\r\nPictAutoDelete=0\r\nPictAutoDeleteSize=-7\r\n");
}

TEST_F(SettingsTest, InstalledCopyReadsDefaultsFromDataFolderUntilUserHasSettings) {
    QTemporaryDir data;
    AppPaths p = CurrentAppPaths();
    p.portable = false;
    p.aboutFile = data.filePath("Init.dat");
    p.settingsFile = dir.filePath("config/siterambler/Init.dat");
    SetAppPaths(p);
    {
        QFile f(p.aboutFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Path]\nURL=file:///demo/index.html\n[About]\nVersion=shipped\n");
    }
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "file:///demo/index.html");
    EXPECT_EQ(gVersion, "shipped");
    ASSERT_TRUE(SaveSettings("http://mine/", "/pics"));  // creates the config folder
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "http://mine/");
    EXPECT_EQ(gVersion, "shipped");
}

TEST_F(SettingsTest, FiftyMegabytesOfGarbageStillStartsAndSaves) {
    QByteArray junk(50 * 1024 * 1024, '\0');
    quint32 x = 12345;
    for (char& c : junk) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    write(junk + "\n[Option]\nPictAutoDelete=1\nPictAutoDeleteSize=9\n");
    LoadSettings();
    EXPECT_EQ(gPictAutoDeleteSize, 9);
    EXPECT_TRUE(SaveSettings("u", "d"));
    LoadSettings();
    EXPECT_EQ(gURLBasePath, "u");
    EXPECT_EQ(gPictAutoDeleteSize, 9);
    QFile f(dir.filePath("Init.dat"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith(junk));  // the lines it does not own stay as they were
}

TEST(AppPathsTest, PortableBesideItsInitDatInstalledBesideItsDataFolder) {
    QTemporaryDir root;
    QDir(root.path()).mkpath("portable");
    QDir(root.path()).mkpath("usr/bin");
    QDir(root.path()).mkpath("usr/share/siterambler");
    const AppPaths bare = DetectAppPathsFor(root.filePath("portable"));
    EXPECT_TRUE(bare.portable);
    EXPECT_EQ(bare.settingsFile, root.filePath("portable/Init.dat"));
    EXPECT_EQ(bare.manualFile, root.filePath("portable/ReadMe.txt"));
    // a writable bin folder with a data folder beside it is an installed copy (root's case)
    const AppPaths installed = DetectAppPathsFor(root.filePath("usr/bin"));
    EXPECT_FALSE(installed.portable);
    EXPECT_EQ(installed.aboutFile, root.filePath("usr/share/siterambler/Init.dat"));
    EXPECT_EQ(installed.manualFile, root.filePath("usr/share/siterambler/ReadMe.txt"));
    EXPECT_TRUE(installed.settingsFile.endsWith("/siterambler/Init.dat"));
    EXPECT_FALSE(installed.settingsFile.startsWith(root.path()));
    // ... unless an Init.dat lies beside the executable
    QFile f(root.filePath("usr/bin/Init.dat"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(DetectAppPathsFor(root.filePath("usr/bin")).portable);
}
