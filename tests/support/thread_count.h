#pragma once
// The threads of this process, for tests of detached threads that nothing joins.

#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

namespace zorblet::testing {

inline int CountThreads() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

// The count before a test starts threads of its own. A sanitizer runtime starts a
// helper thread with the first thread the program creates; one thread is started
// and joined first, so that the helper is counted here.
inline int CountThreadsBeforeTest() {
    std::thread([] {}).join();
    return CountThreads();
}

// Waits until no more than count threads run; false after timeout. A thread has
// left every piece of user code once the kernel no longer lists it.
inline bool WaitForThreadsAtMost(int count, std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (CountThreads() > count) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace zorblet::testing
