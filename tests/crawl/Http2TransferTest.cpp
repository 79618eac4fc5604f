// Transfers over HTTPS + HTTP/2 against a node server that breaks its connection once on
// purpose, with a certificate made here and trusted by these fetchers only.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "FetchHelpers.h"
#include "core/UrlQueue.h"
#include "core/basGlobal.h"
#include "crawl/BodyFile.h"
#include "crawl/FetchAhead.h"

namespace {

struct Http2Server {
    Http2Server(const char* mode, int at) {
        const QString cert = dir.filePath("cert.pem"), key = dir.filePath("key.pem");
        QProcess openssl;
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                       "-keyout", key, "-out", cert});
        if (!openssl.waitForFinished(20000) || openssl.exitCode() != 0) return;
        node.start("node", {SR_SOURCE_DIR "/tests/crawl/support/h2_breaking_server.js", cert, key,
                            mode, QString::number(at)});
        while (node.waitForReadyRead(10000) && !node.canReadLine()) {
        }
        port = node.readLine().mid(5).trimmed().toInt();  // "port N"
        options.caFile = cert.toUtf8();
    }
    ~Http2Server() { node.kill(), node.waitForFinished(); }
    QString url(int n) const { return QString("https://127.0.0.1:%1/p%2.jpg").arg(port).arg(n); }

    QTemporaryDir dir;
    QProcess node;
    int port = 0;
    CurlFetcher::Options options = TestOptions(6);
};

TEST(Http2Transfer, OnlyARequestTheBrokenConnectionLeftUnansweredIsSentAgain) {
    for (const char* mode : {"reset", "goaway", "rst", "midbody"}) {
        const bool answerBegan = mode == std::string("midbody");
        Http2Server server(mode, 10);
        ASSERT_GT(server.port, 0) << "node and openssl come with scripts/deps.sh";
        CurlFetcher pool(server.options);
        std::string bodies[31];
        int ids[31], ok = 0, resends = 0;
        for (int n = 1; n <= 30; ++n)  // all at once, as the fetching ahead asks
            ids[n] =
                pool.start(server.url(n), 1 << 20, [&bodies, n](const char* data, size_t size) {
                    return bodies[n].append(data, size), 0;
                });
        for (int n = 1; n <= 30; ++n) {
            while (pool.wait(ids[n], {}) == Transfers::Wait::Changed) {
            }
            const FetchResult result = pool.release(ids[n]);
            resends += result.resends;
            std::string expected(20000 + n * 37, '\0');
            for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = char((i * 7 + n) % 251);
            ok += result.outcome == FetchOutcome::Ok && bodies[n] == expected;
        }
        EXPECT_EQ(ok, answerBegan ? 29 : 30) << mode;
        EXPECT_EQ(resends > 0, !answerBegan) << mode;
        EXPECT_EQ(pool.waits().resends, resends) << mode;
        EXPECT_EQ(pool.waits().retries, 0) << mode;  // Retries 0: these are no tries again
    }
}

TEST(Http2Transfer, FetchingAheadKeepsMoreRequestsInFlightThanConnections) {
    QTemporaryDir folder;
    gRunFolder = folder.path();
    Http2Server server("none", 0);
    for (const int connections : {1, 2}) {
        server.options.connections = connections;
        CurlFetcher pool(server.options);
        UrlQueue links, images;
        for (int n = 1; n <= 40; ++n) images.append(server.url(n));
        FetchAhead ahead(pool, links, images, {});
        for (int taken = 0; taken < 2; ++taken, images.removeAt(0))
            EXPECT_EQ(ahead.fetch(images.entry(0), false, false, {}).result.outcome,
                      FetchOutcome::Ok);
        // the first answer told that the connection multiplexes; a pool of one stays one
        EXPECT_EQ(ahead.held() > 2 * connections, connections > 1);
    }
    gRunFolder.clear();
}

}  // namespace
