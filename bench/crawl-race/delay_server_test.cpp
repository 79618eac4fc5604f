// The race's delaying server must hand every crawler the site's exact files, typed as nginx
// types them, over connections that stay open; otherwise the race measures the server.
#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "DelayServer.h"

namespace fs = std::filesystem;

namespace {
class DelayServerTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("delay_server_test_" + std::to_string(::getpid()));
        fs::create_directories(root_ / "img");
        write(root_ / "p.html", "<html><img src=img/a.png></html>");
        picture_ = std::string("\x89PNG\0\r\n", 7) + std::string(70'000, '\xff');
        write(root_ / "img" / "a.png", picture_);
        write(root_.parent_path() / "outside.txt", "secret");
    }
    void TearDown() override {
        fs::remove_all(root_);
        fs::remove(root_.parent_path() / "outside.txt");
    }
    static void write(const fs::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    fs::path root_;
    std::string picture_;
};
}  // namespace

TEST_F(DelayServerTest, ServesExactBytesWithTypeAndLengthOverOneKeptConnection) {
    DelayServer server(root_, std::chrono::milliseconds(0), 4);
    ASSERT_NE(server.port(), 0);
    server.start();
    httplib::Client client("127.0.0.1", server.port());
    client.set_keep_alive(true);
    int sockets = 0;
    client.set_socket_options([&sockets](socket_t) { ++sockets; });
    for (int i = 0; i < 20; ++i) {  // past the library's default of 5 requests per connection
        auto res = client.Get("/img/a.png");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->body, picture_);
        EXPECT_EQ(res->get_header_value("Content-Type"), "image/png");
        EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(picture_.size()));
    }
    EXPECT_EQ(sockets, 1);
    auto page = client.Get("/p.html");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html");
    EXPECT_EQ(server.requests(), 21);
}

TEST_F(DelayServerTest, AnswersNotFoundForMissingFoldersAndPathsLeavingTheSite) {
    DelayServer server(root_, std::chrono::milliseconds(0), 4);
    server.start();
    httplib::Client client("127.0.0.1", server.port());
    for (const char* path :
         {"/missing.jpg", "/img", "/", "/../outside.txt", "/img/../../outside.txt"}) {
        auto res = client.Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 404) << path;
    }
    EXPECT_EQ(DelayServer::fileFor(root_, "/img/../p.html"),
              fs::weakly_canonical(root_ / "p.html"));
    fs::create_symlink(root_.parent_path() / "outside.txt", root_ / "link.txt");
    EXPECT_FALSE(DelayServer::fileFor(root_, "/link.txt"));
}
