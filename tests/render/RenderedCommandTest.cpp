// The headless command: SIGTERM during a render ends it, and no browser process is left; without
// a browser it says so and crawls nothing.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "ScriptedGallery.h"

// The browser's profiles go to a folder of this test, so that its processes can be told.
TEST(RenderedCommandTest, SigtermDuringARenderEndsTheCrawlAndTheBrowser) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(SR_CRAWL_EXE, dir.filePath("siterambler-crawl")));  // no Init.dat
    ASSERT_TRUE(QDir().mkpath(dir.filePath("tmp")));
    LoopbackSite site;
    site.page("/poll", "{}", "application/json");
    site.page("/busy.html",
              "<body><script>setInterval(() => fetch('/poll?' + Date.now()), 50);</script>");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", dir.filePath("tmp"));
    env.remove("http_proxy");
    p.setProcessEnvironment(env);
    p.start(dir.filePath("siterambler-crawl"),
            {"--render-pages", "--quiet", site.url("/busy.html"), dir.path()});
    QElapsedTimer clock;
    clock.start();
    while (site.count("/poll") < 3 && clock.elapsed() < 20000) QThread::msleep(20);
    ASSERT_GE(site.count("/poll"), 3);
    EXPECT_GT(LiveProcessesNaming(dir.filePath("tmp")), 0);
    ::kill(pid_t(p.processId()), SIGTERM);
    clock.restart();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_TRUE(AllEnded(dir.filePath("tmp")));
}

TEST(RenderedCommandTest, WithoutABrowserTheCommandSaysSoInEnglishAndStartsNoRun) {
    QTemporaryDir dir;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("SITERAMBLER_BROWSER", dir.filePath("no-such-browser"));
    p.setProcessEnvironment(env);
    p.start(SR_CRAWL_EXE, {"--render-pages", "http://127.0.0.1:9/index.html", dir.path()});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 1);
    const QString said = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(said.contains("no browser to run the pages' scripts")) << said.toStdString();
    EXPECT_TRUE(said.contains("chromium-headless-shell")) << said.toStdString();
    EXPECT_FALSE(QDir(dir.filePath("SR0000")).exists());
}
