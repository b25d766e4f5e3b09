// tarvex-sim: a Tarvex relay module on a pseudo-terminal, for tests and benchmarks.
#include "options.h"
#include "simulator.h"

#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

int g_stopPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 0;
    [[maybe_unused]] ssize_t n = write(g_stopPipe[1], &byte, 1);
}

bool installSignalHandlers() {
    if (pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
    signal(SIGPIPE, SIG_IGN); // a reader of stdout that went away must not stop the module
    return true;
}

} // namespace

int main(int argc, char **argv) {
    SimOptions options;
    std::string error;
    switch (parseOptions(argc, argv, options, error)) {
    case ParseResult::Help:
        std::fputs(usageText(), stdout);
        return 0;
    case ParseResult::Error:
        std::fprintf(stderr, "tarvex-sim: %s\nTry 'tarvex-sim --help'.\n", error.c_str());
        return 2;
    case ParseResult::Run:
        break;
    }
    if (!installSignalHandlers()) {
        std::perror("tarvex-sim: pipe");
        return 1;
    }
    Simulator simulator(options);
    if (!simulator.open(error)) {
        std::fprintf(stderr, "tarvex-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", simulator.portPath().c_str());
    std::fflush(stdout);
    simulator.run(g_stopPipe[0]);
    return 0;
}
