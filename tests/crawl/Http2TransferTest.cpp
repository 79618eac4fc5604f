// The transfers over HTTPS + HTTP/2 against a node server on 127.0.0.1 that breaks its
// connection once on purpose, with a certificate made here and trusted by these fetchers only:
// a request the server never answered is sent again, one it began to answer is not, and the
// fetching ahead keeps more requests in flight than there are connections.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "FetchHelpers.h"
#include "QtPrinters.h"
#include "core/UrlQueue.h"
#include "core/basGlobal.h"
#include "crawl/BodyFile.h"
#include "crawl/FetchAhead.h"
#include "net/CurlFetcher.h"

namespace {

std::string PictureBytes(int n) {  // as the server makes them
    std::string body(20000 + n * 37, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = char((i * 7 + n) % 251);
    return body;
}

class Http2Server {
public:
    // mode: see h2_breaking_server.js; the connection breaks at request number at.
    Http2Server(const QString& mode, int at) {
        const QString cert = dir.filePath("cert.pem");
        const QString key = dir.filePath("key.pem");
        QProcess openssl;
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                       "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                       "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
        if (!openssl.waitForFinished(20000) || openssl.exitCode() != 0) return;
        node.start("node", {SR_SOURCE_DIR "/tests/crawl/support/h2_breaking_server.js", cert, key,
                            mode, QString::number(at)});
        while (node.waitForReadyRead(10000) && !node.canReadLine()) {
        }
        const QByteArray line = node.readLine().trimmed();
        if (line.startsWith("port ")) port = line.mid(5).toInt();
        caFile = cert.toUtf8();
    }
    ~Http2Server() {
        node.kill();
        node.waitForFinished();
    }
    QString url(int n) const { return QString("https://127.0.0.1:%1/p%2.jpg").arg(port).arg(n); }
    CurlFetcher::Options options(int connections) const {
        CurlFetcher::Options o = TestOptions(connections);
        o.caFile = caFile;
        return o;
    }

    QTemporaryDir dir;
    QProcess node;
    QByteArray caFile;
    int port = 0;
};

struct Outcome {
    int ok = 0, failed = 0, resends = 0;
};

// Thirty pictures asked for at once, as the fetching ahead does.
Outcome FetchAll(CurlFetcher& pool, const Http2Server& server) {
    constexpr int kPictures = 30;
    std::vector<std::string> bodies(kPictures + 1);
    std::vector<int> ids(kPictures + 1);
    for (int n = 1; n <= kPictures; ++n)
        ids[n] =
            pool.start(server.url(n), 1 << 20, [&bodies, n](const char* data, std::size_t size) {
                if (!data)
                    bodies[n].clear();
                else
                    bodies[n].append(data, size);
                return 0;
            });
    Outcome outcome;
    for (int n = 1; n <= kPictures; ++n) {
        while (pool.wait(ids[n], {}) == Transfers::Wait::Changed) {
        }
        const FetchResult result = pool.release(ids[n]);
        outcome.resends += result.resends;
        if (result.outcome != FetchOutcome::Ok) {
            ++outcome.failed;
            continue;
        }
        ++outcome.ok;
        EXPECT_TRUE(bodies[n] == PictureBytes(n)) << n;
    }
    return outcome;
}

TEST(Http2Transfer, ARequestTheBrokenConnectionNeverAnsweredIsSentAgain) {
    for (const char* mode : {"reset", "goaway", "rst"}) {
        Http2Server server(mode, 10);
        ASSERT_GT(server.port, 0) << "node and openssl come with scripts/deps.sh";
        CurlFetcher pool(server.options(6));
        const Outcome outcome = FetchAll(pool, server);
        EXPECT_EQ(outcome.ok, 30) << mode;
        EXPECT_GE(outcome.resends, 1) << mode;
        EXPECT_EQ(pool.waits().resends, outcome.resends) << mode;
        EXPECT_EQ(pool.waits().retries, 0) << mode;  // Retries is 0: these are no tries again
    }
}

TEST(Http2Transfer, AnAnswerThatBeganIsNotSentAgain) {
    Http2Server server("midbody", 10);
    ASSERT_GT(server.port, 0);
    CurlFetcher pool(server.options(6));
    const Outcome outcome = FetchAll(pool, server);
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_EQ(outcome.resends + pool.waits().resends, 0);
}

TEST(Http2Transfer, FetchingAheadKeepsMoreRequestsInFlightThanConnections) {
    QTemporaryDir folder;
    gRunFolder = folder.path();
    Http2Server server("none", 0);
    ASSERT_GT(server.port, 0);
    for (const int connections : {1, 2}) {
        CurlFetcher pool(server.options(connections));
        UrlQueue links, images;
        for (int n = 1; n <= 40; ++n) images.append(server.url(n));
        FetchAhead ahead(pool, links, images, {});
        for (int taken = 0; taken < 2; ++taken) {
            FetchedBody fetched = ahead.fetch(images.entry(0), false, false, {});
            EXPECT_EQ(fetched.result.outcome, FetchOutcome::Ok);
            images.removeAt(0);
        }
        // the first answer told that the connection multiplexes; a pool of one stays one
        if (connections == 1)
            EXPECT_EQ(ahead.held(), 0);
        else
            EXPECT_GT(ahead.held(), 2 * connections);
    }
    gRunFolder.clear();
}

}  // namespace
