# Cross-compiles for 64-bit Windows with Debian's mingw-w64: the 64-bit pre-installer and its
# stand-in, in the tree that the 32-bit build drives.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
