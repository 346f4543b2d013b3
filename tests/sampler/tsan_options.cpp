// A data race anywhere fails the test at once instead of being listed at exit.
extern "C" const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1";
}
