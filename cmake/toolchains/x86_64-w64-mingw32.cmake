# Cross compiling for 64-bit Windows on Debian with the MinGW-w64 toolchain
# (packages g++-mingw-w64-x86-64-posix and binutils-mingw-w64-x86-64):
#   cmake -S . -B build-win -DQT_FREE_ONLY=ON \
#     --toolchain cmake/toolchains/x86_64-w64-mingw32.cmake
# The posix flavour of the compiler has std::thread. Programs are linked
# statically (libstdc++, libgcc, winpthread), so they run without DLLs beside
# them (tests/windows runs its test program under Wine through wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
