#include "helper/src/HelperServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>

namespace {

constexpr const char* kUsage = "usage: quorvane-helper [--resume-suspended]\n"
                               "  without arguments   serve the helper's socket (as systemd starts it)\n"
                               "  --resume-suspended  resume the processes a helper stopped and the file indexer it\n"
                               "                      paused, then exit\n";

// The helper holds a descriptor for each connection and for each program holding stops: the soft
// limit (1024 by default) goes up to the hard one, which the service unit sets.
void raiseOpenFileLimit()
{
    rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Resumes what the helper holds, trying again for a few seconds what cannot be resumed at once.
helper::HelperContext::Resumed resumeWhatIsListed(helper::HelperContext& context)
{
    auto resumed = context.resumeSuspended();
    for (int tries = 0; resumed.left > 0 && tries < 20; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        const auto again = context.resumeSuspended();
        resumed.resumed += again.resumed;
        resumed.left = again.left;
    }
    return resumed;
}

// The exit status is 0 once nothing is left stopped, so that systemd starts a helper again that
// ended with some left (they stay listed for it).
int reportExit(helper::HelperContext& context, const char* what, const helper::HelperContext::Resumed& resumed)
{
    std::printf("QuorvaneHelper %s %zu suspended process%s\n", what, resumed.resumed, resumed.resumed == 1 ? "" : "es");
    if (resumed.left == 0)
        return 0;
    std::fprintf(stderr, "QuorvaneHelper could not resume %zu process%s; they stay listed in %s\n", resumed.left,
        resumed.left == 1 ? "" : "es", context.suspended().filePath().c_str());
    return 1;
}

int resumeSuspended()
{
    helper::HelperContext context(helper::HelperConfig::fromEnvironment());
    auto resumed = resumeWhatIsListed(context);
    // Those of programs that had ended were resumed as the list was read.
    resumed.resumed = context.resumedSinceStart();
    return reportExit(context, "resumed", resumed);
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

    raiseOpenFileLimit();
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
    return reportExit(server.context(), "is stopping; it resumed", resumeWhatIsListed(server.context()));
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
