# The program cross-built for Windows against a cross-built Qt and SQLite.
# MK_WIN_DEPS (cache variable or environment) names the folder that holds
# qt6-win/ and sqlite-win/, as scripts/windows/build.sh lays them out.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)

if(NOT MK_WIN_DEPS)
    set(MK_WIN_DEPS "$ENV{MK_WIN_DEPS}")
endif()
if(NOT MK_WIN_DEPS)
    message(FATAL_ERROR "Set MK_WIN_DEPS to the folder holding qt6-win/ and sqlite-win/")
endif()
set(MK_WIN_DEPS "${MK_WIN_DEPS}" CACHE PATH "Cross-built Qt and SQLite")
# CMake's compiler checks read this file again in projects of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MK_WIN_DEPS)

list(APPEND CMAKE_FIND_ROOT_PATH ${MK_WIN_DEPS}/qt6-win ${MK_WIN_DEPS}/sqlite-win)
list(APPEND CMAKE_PREFIX_PATH ${MK_WIN_DEPS}/qt6-win ${MK_WIN_DEPS}/sqlite-win)

# moc, rcc and uic come from the host Qt of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")

# ctest runs the .exe files through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-test.sh)
