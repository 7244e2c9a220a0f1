# Cross-building the 64-bit Windows programs on Linux with MinGW-w64.
# The posix thread model: GoogleTest (and the player's worker threads) need
# std::thread and std::mutex, which the win32 model's libstdc++ lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${triple}-gcc-posix ${triple}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe (a screen saver is copied around as one file): the
# compiler's runtime and winpthreads linked in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests and helper programs run under Wine.
find_program(vistel_wine NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT vistel_wine)
  find_program(vistel_wine NAMES wine64 wine)
endif()
if(vistel_wine)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${vistel_wine})
endif()
