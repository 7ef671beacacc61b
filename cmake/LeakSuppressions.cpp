// Leaks that LeakSanitizer finds in libraries we call and cannot free ourselves; linked into
// every program of a sanitized build, which asks for this hook at start.

extern "C" const char* __lsan_default_suppressions()
{
    // fontconfig loses a few hundred bytes while it parses its configuration, once per
    // process, in FcInitLoadConfigAndFonts.
    return "leak:libfontconfig.so\n";
}
