#pragma once
// A small web site served from this process on 127.0.0.1 (a free port), for crawl tests. Every
// path not given a route answers 404. Requests are recorded in the order they arrived.

#include <httplib.h>

#include <QString>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SiteRoute {
    int status = 200;
    std::string body;
    std::string contentType = "text/html";
    std::string location;         // answers a redirect (status 302 unless set)
    std::string contentEncoding;  // sent as is; the body must already be encoded
    int delayMs = 0;              // wait this long before answering
    bool stall = false;           // send the body, then keep the connection silent
    int failFirst = 0;            // answer this many requests with 429 before the body
    std::string retryAfter;       // sent with those 429 answers
    std::string needsCookie;      // answer 403 unless the Cookie header holds this
    int breakFirst = 0;           // to this many requests, send half the body and hang up
};

struct SiteRequest {
    std::string path;    // decoded path
    std::string target;  // the request target as it came on the wire
    std::string userAgent;
    std::string acceptEncoding;
    int remotePort = 0;
    std::chrono::steady_clock::time_point at{};  // when the request arrived
    std::string host;                            // the Host header
    std::string cookie;                          // the Cookie header
};

class LoopbackSite {
public:
    LoopbackSite();
    ~LoopbackSite();
    LoopbackSite(const LoopbackSite&) = delete;
    LoopbackSite& operator=(const LoopbackSite&) = delete;

    int port() const { return mPort; }
    // "http://127.0.0.1:<port>" followed by path.
    QString url(const std::string& path) const;
    std::string base() const;

    void route(const std::string& path, SiteRoute route);
    void page(const std::string& path, const std::string& body,
              const std::string& contentType = "text/html");
    void redirect(const std::string& path, const std::string& location);

    std::vector<SiteRequest> requests() const;
    std::vector<std::string> paths() const;  // decoded paths, in order
    int count(const std::string& path) const;

private:
    void answer(const httplib::Request& request, httplib::Response& response);

    httplib::Server mServer;
    std::thread mThread;
    int mPort = 0;
    std::atomic<bool> mStopping{false};
    mutable std::mutex mMutex;
    std::map<std::string, SiteRoute> mRoutes;
    std::vector<SiteRequest> mRequests;
    std::map<std::string, int> mAnswered;  // requests per path
};

// A loopback port that nobody listens on: connecting to it is refused.
int UnusedLoopbackPort();

// The bytes gzip-compressed (for serving pre-encoded bodies).
std::string Gzip(const std::string& bytes);
