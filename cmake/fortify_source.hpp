// Read before every source file of a Linux build (CMakeLists.txt). In an optimised build, glibc
// checks the sizes of the buffers passed to it, at level 3 where the compiler can tell a size
// known only at run time, and at level 2 elsewhere. A level already set is kept, with no
// warning of a redefinition: one in the build's flags, as a packager's CPPFLAGS folded into
// CXXFLAGS give it, or one the compiler sets itself when it optimises. Without optimisation glibc
// checks nothing, and warns of any level.
#if defined(__OPTIMIZE__) && !defined(_FORTIFY_SOURCE)
#ifdef __has_builtin
#if __has_builtin(__builtin_dynamic_object_size)
#define _FORTIFY_SOURCE 3
#endif
#endif
#ifndef _FORTIFY_SOURCE
#define _FORTIFY_SOURCE 2
#endif
#endif
