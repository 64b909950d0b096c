# Cross-compiles the Windows in-process server with Debian's MinGW-w64 (i686).
# The -posix compilers are used because the core keeps per-thread module data
# in thread_local objects with destructors, which the win32 thread model of
# these compilers does not support on every release.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZET_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ZET_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZET_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZET_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZET_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The DLL must load into the suite's process on a machine that has no MinGW
# runtime: libgcc, libstdc++ and winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
