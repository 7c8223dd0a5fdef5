// The stand-in for the highscore service as a program of its own, for the player tests:
// it listens on 127.0.0.1, prints its base address on a line of its own, and serves until
// SIGTERM or SIGINT.

#include <csignal>
#include <cstdio>

#include "support/service_stand_in.h"
#include "support/stop_signals.h"

int main() {
    const sigset_t stop = zorblet::testing::BlockStopSignals();
    zorblet::testing::ServiceStandIn list;
    std::printf("%s\n", list.Url().c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}
