#pragma once
// For the tests' stand-in services, which serve until SIGTERM or SIGINT.

#include <pthread.h>

#include <csignal>

namespace zorblet::testing {

// Blocks SIGTERM and SIGINT and returns them as a set for sigwait. Called before any
// thread starts, so that every thread inherits the mask and only sigwait sees the stop.
inline sigset_t BlockStopSignals() {
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    return stops;
}

}  // namespace zorblet::testing
