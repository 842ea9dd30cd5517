#include "helper/src/HelperServer.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <thread>

namespace {

constexpr const char* kUsage = "usage: quorvane-helper [--resume-suspended]\n"
                               "  without arguments   serve the helper's socket (as systemd starts it)\n"
                               "  --resume-suspended  resume the processes a helper stopped and the file indexer it\n"
                               "                      paused, then exit\n";

int resumeSuspended()
{
    helper::HelperContext context(helper::HelperConfig::fromEnvironment());
    const std::size_t resumed = context.resumeSuspended();
    std::printf("QuorvaneHelper resumed %zu suspended process%s\n", resumed, resumed == 1 ? "" : "es");
    return 0;
}

int serve()
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

    std::printf("QuorvaneHelper is listening on %s\n", server.listeningPath().c_str());
    std::fflush(stdout);
    server.run();
    // Nothing the helper stopped stays stopped once it has gone.
    server.context().resumeSuspended();
    return 0;
}

} // namespace

// The root helper. Started by systemd through its socket unit, it serves the socket handed over
// in LISTEN_FDS; started by hand (or by tests) it binds the configured path itself.
int main(int argc, char** argv)
{
    if (argc == 1)
        return serve();
    if (argc == 2 && std::strcmp(argv[1], "--resume-suspended") == 0)
        return resumeSuspended();
    std::fputs(kUsage, stderr);
    return 2;
}
