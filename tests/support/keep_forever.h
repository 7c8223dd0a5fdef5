#pragma once
// For objects that detached threads use: nothing joins those threads, so what they
// touch must live until the process ends.

#include <utility>
#include <vector>

namespace zorblet::testing {

inline std::vector<void*>& KeptObjects() {
    static auto* kept = new std::vector<void*>;
    return *kept;
}

// Creates an object that is never destroyed. It stays reachable from a static pointer,
// so LeakSanitizer does not count it as a leak.
template <class T, class... Args>
T& KeepForever(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    KeptObjects().push_back(object);
    return *object;
}

}  // namespace zorblet::testing
