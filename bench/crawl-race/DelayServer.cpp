#include "DelayServer.h"

#include <httplib.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

DelayServer::DelayServer(fs::path root, std::chrono::milliseconds delay, int threads)
    : root_(fs::weakly_canonical(root)),
      delay_(delay),
      server_(std::make_unique<httplib::Server>()) {
    auto& svr = *server_;
    svr.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    // accepted connections inherit no-delay from the listening socket on Linux
    svr.set_tcp_nodelay(true);
    int listening = -1;
    svr.set_socket_options([&listening](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = sock;
    });
    // crawlers reuse one connection for thousands of requests
    svr.set_keep_alive_max_count(1'000'000);
    svr.set_keep_alive_timeout(10);
    svr.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
        ++requests_;
        std::this_thread::sleep_for(delay_);
        const auto file = fileFor(root_, req.path);
        std::ifstream in;
        if (file) in.open(*file, std::ios::binary);
        if (!in.is_open()) {
            res.status = 404;
            res.set_content("not found\n", "text/plain");
            return;
        }
        std::string body{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        res.set_content(std::move(body), contentType(*file).c_str());
    });
    port_ = svr.bind_to_any_port("127.0.0.1");
    if (port_ < 0) port_ = 0;
    // The library listens with a backlog of 5: a crawler opening 16 connections at once would
    // see SYNs dropped and retried a second later. Listening again only widens the queue.
    if (port_ != 0 && listening >= 0) ::listen(listening, SOMAXCONN);
}

DelayServer::~DelayServer() {
    stop();
}

void DelayServer::run() {
    if (port_ != 0) server_->listen_after_bind();
}

void DelayServer::start() {
    thread_ = std::thread([this] { run(); });
    // stop() only ends a server that already runs
    while (port_ != 0 && !server_->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void DelayServer::stop() {
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

std::optional<fs::path> DelayServer::fileFor(const fs::path& root, std::string_view urlPath) {
    if (urlPath.empty() || urlPath.front() != '/' || urlPath.find('\0') != std::string_view::npos)
        return std::nullopt;
    const fs::path relative = fs::path(urlPath.substr(1)).lexically_normal();
    if (relative.empty() || relative.is_absolute() || *relative.begin() == "..")
        return std::nullopt;
    std::error_code ec;
    const fs::path file = fs::weakly_canonical(root / relative, ec);
    if (ec || !fs::is_regular_file(file, ec)) return std::nullopt;
    // a link inside the folder must not lead out of it
    const auto [end, unused] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    if (end != root.end()) return std::nullopt;
    return file;
}

std::string DelayServer::contentType(const fs::path& file) {
    static const std::map<std::string, std::string> types = {
        {".html", "text/html"},  {".htm", "text/html"}, {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"}, {".png", "image/png"}, {".gif", "image/gif"},
        {".css", "text/css"},    {".txt", "text/plain"}};
    std::string ext = file.extension().string();
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto it = types.find(ext);
    return it != types.end() ? it->second : "application/octet-stream";
}
