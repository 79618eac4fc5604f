// Transfers over HTTPS + HTTP/2 against a node server that breaks its connection once on
// purpose, with a certificate made here and trusted by these fetchers only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdio>

#include "FetchHelpers.h"
#include "core/UrlQueue.h"
#include "core/basGlobal.h"
#include "crawl/BodyFile.h"
#include "crawl/FetchAhead.h"

namespace {

// Not QProcess: Qt 6 starts a child by clone(CLONE_VM | CLONE_VFORK), and ThreadSanitizer's clone
// interceptor then does its child's bookkeeping in the memory the child shares with this test, so
// that it misses every later lock of the test's thread and reports races that are none.
// posix_spawn's child runs nothing the sanitizer intercepts. out: the child's output; stderr is
// dropped.
pid_t Spawn(const QStringList& args, FILE** out = nullptr) {
    std::vector<QByteArray> bytes;
    std::vector<char*> argv;
    for (const QString& arg : args) bytes.push_back(arg.toLocal8Bit());
    for (QByteArray& arg : bytes) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int ends[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (out && ::pipe2(ends, O_CLOEXEC) == 0)
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    if (ends[1] >= 0) ::close(ends[1]);
    if (out) *out = ends[0] >= 0 ? fdopen(ends[0], "r") : nullptr;
    return pid;
}

struct Http2Server {
    Http2Server(const char* mode, int at) {
        const QString cert = dir.filePath("cert.pem"), key = dir.filePath("key.pem");
        const pid_t openssl =
            Spawn({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                   "ec_paramgen_curve:prime256v1", "-nodes", "-subj", "/CN=127.0.0.1", "-addext",
                   "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
        int status = -1;
        if (openssl <= 0 || waitpid(openssl, &status, 0) != openssl || status != 0) return;
        node = Spawn({"node", SR_SOURCE_DIR "/tests/crawl/support/h2_breaking_server.js", cert, key,
                      mode, QString::number(at)},
                     &output);
        char line[64] = {};
        if (node > 0 && output && std::fgets(line, sizeof line, output))
            port = QByteArray(line).mid(5).trimmed().toInt();  // "port N"
        options.caFile = cert.toUtf8();
    }
    ~Http2Server() {
        if (node > 0) ::kill(node, SIGKILL), waitpid(node, nullptr, 0);
        if (output) std::fclose(output);
    }
    QString url(int n) const { return QString("https://127.0.0.1:%1/p%2.jpg").arg(port).arg(n); }

    QTemporaryDir dir;
    pid_t node = 0;
    FILE* output = nullptr;
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
