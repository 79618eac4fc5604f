#pragma once
// A web server on 127.0.0.1 that misbehaves on purpose, written on raw sockets because a
// well-behaved HTTP library cannot be made to: it resets connections mid-body, stalls after
// the headers, trickles, sends endless bodies, compression bombs, megabytes of headers and
// bodies that disagree with their Content-Length. Each path gets one answer; every other path
// answers 404. Ordinary answers keep the connection alive, so a client that wrongly reuses a
// poisoned connection reads whatever was left in it.

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HostileAnswer {
    enum Kind {
        Page,               // status, headers and body as given
        Redirect,           // 302 to location
        ResetMidBody,       // declares declaredLength, sends body, then resets the connection
        StallAfterHeaders,  // declares declaredLength, then stays silent until the server stops
        Trickle,            // sends body one byte every intervalMs
        Endless,            // a body without end (no length; chunked when chunked is set)
        GzipBomb,           // a few KB, gzip inside gzip, that inflate to bombBytes of zeros
        HugeHeaders,        // headerBytes of header lines before a short body
        WrongLength,        // declares declaredLength but sends body (longer or shorter)
    };
    Kind kind = Page;
    int status = 200;
    std::string body;
    std::string contentType = "image/jpeg";
    std::string location;
    std::int64_t declaredLength = 0;
    int intervalMs = 1000;
    bool chunked = false;
    std::int64_t bombBytes = 0;
    std::int64_t headerBytes = 0;
    int lineBytes = 1000;  // HugeHeaders: length of each header line

    static HostileAnswer PageOf(std::string body, std::string contentType = "text/html");
    static HostileAnswer RedirectTo(std::string location);
    static HostileAnswer ResetAfter(std::string sent, std::int64_t declared);
    static HostileAnswer Stall(std::int64_t declared);
    static HostileAnswer TrickleOf(std::string body, int intervalMs);
    static HostileAnswer EndlessBody(bool chunked);
    static HostileAnswer Bomb(std::int64_t inflatedBytes);
    static HostileAnswer HeadersOf(std::int64_t bytes, int lineBytes, std::string body);
    static HostileAnswer LengthMismatch(std::string body, std::int64_t declared);
};

// One request as the server saw it.
struct HostileRequest {
    std::string target;          // as on the wire
    std::int64_t bytesSent = 0;  // of the answer, headers included
    bool finished = false;       // the answer is over (sent, reset, or the client went away)
};

class HostileServer {
public:
    HostileServer();
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    int port() const { return mPort; }
    std::string base() const;
    QString url(const std::string& path) const;

    void on(const std::string& target, HostileAnswer answer);

    std::vector<HostileRequest> requests() const;
    std::vector<std::string> targets() const;
    int count(const std::string& target) const;
    // True while an answer to target is being sent (or withheld).
    bool busy(const std::string& target) const;
    // Bytes sent for the latest request of target.
    std::int64_t sent(const std::string& target) const;

private:
    struct Connection;
    void acceptLoop();
    void serve(int fd);
    bool answer(int fd, std::size_t request, const HostileAnswer& how);
    bool sendAll(int fd, std::size_t request, const char* data, std::size_t size);
    bool sendAll(int fd, std::size_t request, const std::string& bytes) {
        return sendAll(fd, request, bytes.data(), bytes.size());
    }
    // Waits ms milliseconds; false when the server is stopping meanwhile.
    bool pause(int ms);
    void finish(std::size_t request);

    bool trickle(int fd, std::size_t request, const HostileAnswer& how);
    bool endless(int fd, std::size_t request, const HostileAnswer& how);
    bool hugeHeaders(int fd, std::size_t request, const HostileAnswer& how);

    int mListen = -1;
    int mPort = 0;
    std::atomic<bool> mStopping{false};
    std::thread mAcceptThread;
    mutable std::mutex mMutex;
    std::condition_variable mWake;
    std::map<std::string, HostileAnswer> mAnswers;
    std::vector<HostileRequest> mRequests;
    std::vector<int> mOpen;  // connection sockets, shut down when the server stops
    std::vector<std::thread> mWorkers;
};

// A gzip member whose content is `bytes` zeros, built without inflating them: a deflate block
// of 1 MiB of zeros, ended by a full flush, stands alone and is simply repeated. bytes is
// rounded down to whole MiB.
std::string GzipOfZeros(std::int64_t bytes);
// The same for `times` copies of piece.
std::string GzipOfRepeats(const std::string& piece, std::int64_t times);
// The bytes gzip-compressed at the best ratio.
std::string GzipBytes(const std::string& bytes);
