// Qt 6.4 keeps the fontconfig patterns of its font fallback cache
// (QFontEngineMultiFontConfig::getMatchPatternForFallback) in the main thread's font cache, which
// it does not free before the leak checker runs at exit. Without frame pointers in fontconfig the
// checker sees only fontconfig's frames, so the library is named; our own fontconfig use is one
// parse into the configuration fontconfig owns.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
