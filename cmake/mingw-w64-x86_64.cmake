# Cross compiler for 64-bit Windows: Debian's mingw-w64 with POSIX threads
# (std::thread and std::mutex need them). Used to build the cross Qt and the
# program alike.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(MK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MK_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MK_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${MK_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

list(APPEND CMAKE_FIND_ROOT_PATH /usr/${MK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
