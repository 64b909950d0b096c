# The Windows in-process server for x86_64 with Debian's MinGW-w64.
set(ZET_MINGW_PROCESSOR x86_64)
set(ZET_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
