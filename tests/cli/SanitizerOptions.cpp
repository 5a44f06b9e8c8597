// The AddressSanitizer options of this program in the sanitizer build.
//
// Qt's PNG writer leaks a row buffer when a write fails half-way (libpng's error handler jumps
// past the delete), which tandor-cli's tests of failing writes do on purpose. Only a full stack
// tells that leak (suppressed in tests/lsan-suppressions.txt) from one of ours, and unwinding it
// at every allocation is slow, so only this program does. ASAN_OPTIONS still adds to these.

#ifdef __SANITIZE_ADDRESS__
extern "C" const char *__asan_default_options() {
  return "fast_unwind_on_malloc=0";
}
#endif
