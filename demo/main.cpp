// torvex-demo-shop: a small web shop on 127.0.0.1 to try Torvex against (see demo/shop.tvt).

#include "DemoShop.h"

#include <CLI/CLI.hpp>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Each keep-alive connection holds a worker between its requests: enough for about 50 virtual
// users with room to spare.
constexpr int kWorkers = 64;

void listenOnlyIfFree(socket_t sock) {
    // SO_REUSEADDR alone: unlike cpp-httplib's default SO_REUSEPORT, a port that another program
    // listens on makes the bind fail instead of sharing its connections.
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Torvex demo shop: a small web shop on 127.0.0.1 for load tests.",
                 "torvex-demo-shop"};
    int port = 8090;
    app.add_option("--port", port, "Port to listen on; 0 picks a free one")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    CLI11_PARSE(app, argc, argv);

    // SIGINT and SIGTERM are taken by one thread with sigwait, so the server stops from an
    // ordinary thread; they are blocked before any other thread starts, which inherit the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    DemoShop shop;
    httplib::Server server;
    shop.install(server);
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_socket_options(listenOnlyIfFree);
    server.set_keep_alive_max_count(1000);
    // Headers and body go out in separate writes; with Nagle's algorithm the body of a keep-alive
    // response can wait for the client's delayed acknowledgement (40 ms).
    server.set_tcp_nodelay(true);

    const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1")
                                : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "torvex-demo-shop: cannot listen on 127.0.0.1:%d (is it taken?)\n",
                     port);
        return 1;
    }

    std::atomic<bool> signalled{false};
    std::atomic<bool> finished{false};
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        signalled = true;
        // stop() does nothing before the server loop runs; a signal that early waits for it.
        while (!server.is_running() && !finished) std::this_thread::sleep_for(5ms);
        server.stop();
    });
    // The socket already listens: connections made from now on wait in its queue.
    std::printf("Demo shop listening on http://127.0.0.1:%d/\n", bound);
    std::fflush(stdout);
    server.listen_after_bind();
    finished = true;

    // When the server ended by itself, the stopper still waits: wake it so it can be joined.
    const bool stoppedBySignal = signalled;
    if (!stoppedBySignal) pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    if (!stoppedBySignal) {
        std::fprintf(stderr, "torvex-demo-shop: the server stopped unexpectedly\n");
        return 1;
    }
    std::printf("Demo shop stopped\n");
    return 0;
}
