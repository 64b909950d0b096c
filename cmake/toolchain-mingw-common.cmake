# Cross-compiles the Windows in-process server with Debian's MinGW-w64; the
# architecture files set ZET_MINGW_PROCESSOR and ZET_MINGW_TRIPLET first.
# The -win32 compilers (thread model win32) are used on purpose. The core keeps
# per-thread module data in a thread_local with a destructor; in a DLL built
# with the -posix compilers, winpthread may free that object's emulated TLS
# storage before the destructor runs at thread exit, and the destructor then
# corrupts the heap. The win32 model runs the destructor first and keeps the
# DLL loaded until it has run. Nothing here needs std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZET_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${ZET_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ZET_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${ZET_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZET_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The DLL must load into the suite's process on a machine that has no MinGW
# runtime: libgcc and libstdc++ are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
