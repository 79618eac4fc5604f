#include "LoopbackSite.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <stdexcept>

LoopbackSite::LoopbackSite() {
    mServer.set_keep_alive_timeout(1);
    // Enough threads for many connections at once, and for stalled answers that hold theirs
    // until the site goes.
    mServer.new_task_queue = [] { return new httplib::ThreadPool(48); };
    mServer.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        answer(request, response);
    });
    mPort = mServer.bind_to_any_port("127.0.0.1");
    if (mPort <= 0) throw std::runtime_error("no loopback port");
    mThread = std::thread([this] { mServer.listen_after_bind(); });
    // A stop() that comes before the accept loop runs would be lost and the loop never end.
    while (!mServer.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LoopbackSite::~LoopbackSite() {
    mStopping = true;
    mServer.stop();
    mThread.join();
}

std::string LoopbackSite::base() const {
    return "http://127.0.0.1:" + std::to_string(mPort);
}

QString LoopbackSite::url(const std::string& path) const {
    return QString::fromStdString(base() + path);
}

void LoopbackSite::route(const std::string& path, SiteRoute route) {
    std::lock_guard lock(mMutex);
    mRoutes[path] = std::move(route);
}

void LoopbackSite::page(const std::string& path, const std::string& body,
                        const std::string& contentType) {
    SiteRoute r;
    r.body = body;
    r.contentType = contentType;
    route(path, r);
}

void LoopbackSite::redirect(const std::string& path, const std::string& location) {
    SiteRoute r;
    r.status = 302;
    r.location = location;
    route(path, r);
}

std::vector<SiteRequest> LoopbackSite::requests() const {
    std::lock_guard lock(mMutex);
    return mRequests;
}

std::vector<std::string> LoopbackSite::paths() const {
    std::vector<std::string> result;
    for (const auto& r : requests()) result.push_back(r.path);
    return result;
}

int LoopbackSite::count(const std::string& path) const {
    int n = 0;
    for (const auto& r : requests()) n += r.path == path;
    return n;
}

void LoopbackSite::answer(const httplib::Request& request, httplib::Response& response) {
    SiteRoute route;
    bool found = false;
    int answered = 0;  // requests of the path before this one
    {
        std::lock_guard lock(mMutex);
        mRequests.push_back({request.path, request.target, request.get_header_value("User-Agent"),
                             request.get_header_value("Accept-Encoding"), request.remote_port,
                             std::chrono::steady_clock::now(), request.get_header_value("Host"),
                             request.get_header_value("Cookie")});
        const auto it = mRoutes.find(request.path);
        if (it != mRoutes.end()) {
            route = it->second;
            found = true;
        }
        if (found) answered = mAnswered[request.path]++;
        if (found && answered < route.failFirst) {
            route.status = 429;
            if (!route.retryAfter.empty()) response.set_header("Retry-After", route.retryAfter);
        }
    }
    if (found && !route.needsCookie.empty() &&
        request.get_header_value("Cookie").find(route.needsCookie) == std::string::npos)
        route.status = 403;
    if (!found) {
        response.status = 404;
        response.set_content("<html>not found</html>", "text/html");
        return;
    }
    if (route.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(route.delayMs));
    if (!route.location.empty()) {
        response.status = route.status == 200 ? 302 : route.status;
        response.set_header("Location", route.location);
        return;
    }
    response.status = route.status;
    if (!route.contentEncoding.empty())
        response.set_header("Content-Encoding", route.contentEncoding);
    if (answered < route.breakFirst) {
        const std::string body = route.body;
        response.set_content_provider(body.size(), route.contentType,
                                      [body](std::size_t, std::size_t, httplib::DataSink& sink) {
                                          sink.write(body.data(), body.size() / 2);
                                          return false;
                                      });
        return;
    }
    if (route.stall) {
        const std::string body = route.body;
        response.set_content_provider(
            body.size() + 100000, route.contentType,
            [this, body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset == 0) {
                    sink.write(body.data(), body.size());
                    return true;
                }
                while (!mStopping) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                return false;
            });
        return;
    }
    response.set_content(route.body, route.contentType);
}

int UnusedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string Gzip(const std::string& bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, bytes.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}
