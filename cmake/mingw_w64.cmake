# The part of the MinGW-w64 cross toolchains that the 32- and 64-bit builds share. The file that
# includes this one sets toolchain_prefix and CMAKE_SYSTEM_PROCESSOR.

set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_CXX_COMPILER ${toolchain_prefix}-g++)
set(CMAKE_RC_COMPILER ${toolchain_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${toolchain_prefix})
# Programs the build and tests run (Python, Wine) are the host's; libraries and headers are
# the target's only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
