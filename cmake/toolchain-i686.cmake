# Cross build for 32-bit Windows: the release build.
set(VANTORIN_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
