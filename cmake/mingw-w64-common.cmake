# The cross build for Windows with Debian's mingw-w64, shared by the 64-bit and the 32-bit
# toolchain files, which set LEXORA_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first. The -posix
# compilers carry the winpthreads threading model that std::thread needs; everything is linked
# statically so the .exe files depend only on DLLs that Windows itself ships.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${LEXORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LEXORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LEXORA_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${LEXORA_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${LEXORA_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${LEXORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libz.a rather than the import library of zlib1.dll.
set(ZLIB_USE_STATIC_LIBS ON)

# Windows 7 and later: the APIs used (CNG, GetUserDefaultUILanguage, ...) all exist there.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DUNICODE -D_UNICODE")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DUNICODE -D_UNICODE")
# -static takes winpthread (and every other library that has an archive) from its .a as well.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
