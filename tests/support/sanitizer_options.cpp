// Defaults for the sanitized test programs, wherever they are started from; variables in
// the environment still override them.
extern "C" {
// intercept_tls_get_addr=0: clang 14's leak checker takes a dynamic TLS block that begins
// 16 bytes into a page for one with an old glibc's header, reads its bounds from the
// allocator's own chunk header, and dies scanning them ("Tracer caught signal 11" at exit).
// libLLVM's block, made when llvmpipe first compiles on the main thread, lands there or not
// with the lengths of the command line and the environment: under ctest, for some tests,
// every time. The blocks are allocations of the dynamic linker, which the checker counts
// as reachable, so what they point to is not taken for a leak without the interception.
const char *__asan_default_options(void) {
    return "detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0";
}
const char *__ubsan_default_options(void) {
    return "print_stacktrace=1";
}
const char *__lsan_default_options(void) {
    return "suppressions=" KV_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
}
