# The Windows in-process server for i686 with Debian's MinGW-w64.
set(ZET_MINGW_PROCESSOR i686)
set(ZET_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
