# The arm64 Linux program, cross-built with Debian's g++-aarch64-linux-gnu. Its tests run it under
# qemu-aarch64 (package qemu-user), named here because the host need not start arm64 programs
# by itself.
#
#   cmake --preset linux-aarch64

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
# Programs the build and tests run (Python, the emulator) are the host's; libraries and headers
# are the target's only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
