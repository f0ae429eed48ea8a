// Defaults for the sanitized test programs, wherever they are started from; variables in
// the environment still override them.
extern "C" {
const char *__asan_default_options(void) {
    return "detect_leaks=1:abort_on_error=0";
}
const char *__ubsan_default_options(void) {
    return "print_stacktrace=1";
}
const char *__lsan_default_options(void) {
    return "suppressions=" KV_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
}
