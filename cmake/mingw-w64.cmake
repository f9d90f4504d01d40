# Cross toolchain: 64-bit Windows with mingw-w64's posix thread model (std::thread needs it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(NIMBIC_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${NIMBIC_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${NIMBIC_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${NIMBIC_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${NIMBIC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows test executables run through our Wine wrapper, in a private prefix inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
