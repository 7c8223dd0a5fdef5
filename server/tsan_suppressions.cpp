// ThreadSanitizer builds only. libcpp-httplib comes uninstrumented, so the function-local
// statics of its request parser (regular expressions built on first use) look
// unsynchronised when several threads read them: the guard's fast path is invisible to
// TSan. Interceptor calls made from inside that library are therefore not checked; races
// in this program's own code are still reported.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\n";
}
#endif
