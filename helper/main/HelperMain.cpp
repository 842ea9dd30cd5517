#include "helper/src/HelperServer.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

// The root helper. Started by systemd through its socket unit, it serves the socket handed over
// in LISTEN_FDS; started by hand (or by tests) it binds the configured path itself.
int main()
{
    // SIGTERM and SIGINT are taken by one thread that stops the server; every other thread
    // inherits the blocked mask, so no handler runs in the middle of a request.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    helper::HelperServer server(helper::HelperConfig::fromEnvironment());
    if (auto listening = server.listen(); !listening) {
        std::fprintf(stderr, "QuorvaneHelper cannot listen: %s\n", listening.error().message.c_str());
        return 1;
    }

    std::thread([&server, stopSignals] {
        int received = 0;
        sigwait(&stopSignals, &received);
        server.stop();
    }).detach();

    std::puts("QuorvaneHelper daemon XPC listener running...");
    std::fflush(stdout);
    server.run();
    return 0;
}
