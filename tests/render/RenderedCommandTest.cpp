// The headless command with pages rendered: SIGTERM during a render ends it, and no browser
// process is left.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

#include "ScriptedGallery.h"

namespace {

class RenderedCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        // alone, with no Init.dat beside it
        ASSERT_TRUE(QFile::copy(SR_CRAWL_EXE, dir.filePath("siterambler-crawl")));
        QDir().mkpath(dir.filePath("dl"));
        QDir().mkpath(dir.filePath("tmp"));
    }
    // The browser's profiles go to a folder of this test, so that its processes can be told.
    void start(QProcess& p, const QString& url) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", dir.filePath("tmp"));
        env.remove("http_proxy");
        p.setProcessEnvironment(env);
        p.start(dir.filePath("siterambler-crawl"),
                {"--render-pages", "--quiet", url, dir.filePath("dl")});
        ASSERT_TRUE(p.waitForStarted());
    }
    QTemporaryDir dir;
    LoopbackSite site;
};

}  // namespace

TEST_F(RenderedCommandTest, SigtermDuringARenderEndsTheCrawlAndTheBrowser) {
    site.page("/poll", "{}", "application/json");
    site.page("/busy.html",
              "<body><script>setInterval(() => fetch('/poll?' + Date.now()), 50);</script>");
    QProcess p;
    start(p, site.url("/busy.html"));
    QElapsedTimer clock;
    clock.start();
    while (site.count("/poll") < 3 && clock.elapsed() < 20000) QThread::msleep(20);
    ASSERT_GE(site.count("/poll"), 3);
    EXPECT_GT(LiveProcessesNaming(dir.path()), 0);
    ::kill(pid_t(p.processId()), SIGTERM);
    clock.restart();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(p.exitCode(), 130);
    while (LiveProcessesNaming(dir.path()) > 0 && clock.elapsed() < 1500) QThread::msleep(10);
    EXPECT_EQ(LiveProcessesNaming(dir.path()), 0);
}
