// delay_server SITE_FOLDER DELAY_MS [THREADS]
// Serves SITE_FOLDER on 127.0.0.1, waiting DELAY_MS before every answer. Prints "port N" once
// it listens; ends on SIGTERM or SIGINT and then prints how many requests it answered.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "DelayServer.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: delay_server SITE_FOLDER DELAY_MS [THREADS]\n");
        return 1;
    }
    const int threads = argc > 3 ? std::atoi(argv[3]) : 64;
    DelayServer server(argv[1], std::chrono::milliseconds(std::atoi(argv[2])), threads);
    if (server.port() == 0) {
        std::fprintf(stderr, "delay_server: no port on 127.0.0.1\n");
        return 1;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    server.start();
    std::printf("port %d\n", server.port());
    std::fflush(stdout);
    // the server's own threads must not run the stop from a signal handler
    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server.stop();
    std::fprintf(stderr, "delay_server: %ld requests answered\n", server.requests());
    return 0;
}
