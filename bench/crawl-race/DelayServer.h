#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace httplib {
class Server;
}

// Serves the files of one folder on 127.0.0.1 and answers every request only after a fixed
// delay, the way a distant server answers after a round trip. Many connections are served at
// once, each kept alive, and nothing waits on Nagle's algorithm.
class DelayServer {
public:
    DelayServer(std::filesystem::path root, std::chrono::milliseconds delay, int threads);
    ~DelayServer();
    DelayServer(const DelayServer&) = delete;
    DelayServer& operator=(const DelayServer&) = delete;

    int port() const { return port_; }  // 0 when no port could be bound
    void run();                         // serves until stop()
    void start();                       // serves on a thread of its own
    void stop();
    long requests() const { return requests_.load(); }

    // The file a request path names, or nothing when it leaves the folder or is no file.
    static std::optional<std::filesystem::path> fileFor(const std::filesystem::path& root,
                                                        std::string_view urlPath);
    static std::string contentType(const std::filesystem::path& file);

private:
    std::filesystem::path root_;
    std::chrono::milliseconds delay_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<long> requests_{0};
    int port_ = 0;
};
