# Shared part of the MinGW-w64 toolchain files. The posix thread variant of the
# compilers is required: the win32 one has no std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${VANTORIN_TRIPLE})
set(CMAKE_C_COMPILER ${VANTORIN_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VANTORIN_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VANTORIN_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VANTORIN_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
