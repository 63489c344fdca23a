# Cross build for 64-bit ARM Linux with Debian's aarch64-linux-gnu compilers
# (g++-aarch64-linux-gnu). Programs run under qemu-aarch64 (qemu-user) with
# the cross C library, so ctest runs the tests on an x86-64 machine.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The cross C library comes first on the library path: where Debian's arm64
# libraries are installed too (multiarch), the loader would otherwise find
# their libc through the machine's cache and pair it with the cross
# loader, a mismatch in which the first thread never starts.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# CLI11 is header-only, so the build machine's copy (libcli11-dev) serves
# this target too: cmake/cross/ gives it without the rest of /usr/include.
get_filename_component(cli11Dir ${CMAKE_CURRENT_LIST_DIR}/../cross ABSOLUTE)
set(CLI11_DIR ${cli11Dir} CACHE PATH "CLI11 for cross builds")
