# A 64-bit Windows build of the same program, cross-built with Debian's MinGW-w64
# (package g++-mingw-w64-x86-64). It does not ship: it lets a machine that cannot run 32-bit
# programs run the Windows dialogue tests under 64-bit Wine.

set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(toolchain_prefix x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_w64.cmake)

# Debian keeps the 64-bit loader beside the wine command, which prefers the 32-bit one.
find_program(wine64_program wine64 PATHS /usr/lib/wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine64_program})
