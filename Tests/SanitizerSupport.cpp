// Leak reports of the sanitizer build must name the library each leaked block comes from:
// Tools/lsan.supp lets through only what the system's GL driver loses itself, by library name.
// SDL and the GL loader unload the driver when the last context goes, after which its frames
// show as "<unknown module>" and match nothing. So in AddressSanitizer builds the test program
// keeps every library it loaded until it ends; the engine's own leaks stay reported as before.
#if defined(__SANITIZE_ADDRESS__)
extern "C" int dlclose(void *) { return 0; }
#endif
