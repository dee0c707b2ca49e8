// Read before every source file of a Linux build (CMakeLists.txt). In an optimised build, glibc
// checks the buffer sizes it can see at the highest level the compiler and glibc support:
// asked for 3, glibc takes 2 where it or the compiler is too old for 3. A level already set is
// kept, with no warning of a redefinition: one in the build's flags, as a packager's CPPFLAGS
// give it, or one the compiler sets itself when it optimises. Without optimisation glibc checks
// nothing, and warns of a level set.
#if defined(__OPTIMIZE__) && !defined(_FORTIFY_SOURCE)
#define _FORTIFY_SOURCE 3
#endif
