# Cross build for 64-bit Windows with Debian's g++-mingw-w64-x86-64.
# The POSIX-threads flavour of the compiler is used: the win32 flavour of
# GCC 12 lacks std::mutex and std::thread.  Executables are linked
# statically, so that no DLL of the tool chain has to travel with them, and
# CTest runs them under wine in a private prefix inside the build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZORELLZ_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZORELLZ_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZORELLZ_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZORELLZ_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZORELLZ_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# wine reads WINEPREFIX and WINEDEBUG from the environment; the wrapper sets
# them for every test without touching the caller's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
