# Cross build for 64-bit Windows with Debian's mingw-w64 (posix thread model,
# package g++-mingw-w64-x86-64-posix). The programs are linked statically, so
# they need no MinGW runtime DLLs beside them (and run under Wine as they are).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVET_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVET_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVET_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVET_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVET_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
