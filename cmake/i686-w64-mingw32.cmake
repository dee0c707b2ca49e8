# The 32-bit Windows executable that ships, cross-built with Debian's MinGW-w64
# (package g++-mingw-w64-i686). Its tests run it under Wine.

set(CMAKE_SYSTEM_PROCESSOR x86)
set(toolchain_prefix i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_w64.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR wine)
