# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 compilers (the POSIX-threads ones:
# std::thread and std::mutex need them). scripts/windows uses it for the libraries it builds and
# for the program; KURIERIX_WINDOWS_PREFIXES names the folders those libraries are installed in.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw}-windres)
set(CMAKE_AR ${mingw}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${mingw}-ranlib CACHE FILEPATH "")

# try_compile projects read this file again without the cache: the environment carries the list.
if(KURIERIX_WINDOWS_PREFIXES)
  set(ENV{KURIERIX_WINDOWS_PREFIXES} "${KURIERIX_WINDOWS_PREFIXES}")
else()
  set(KURIERIX_WINDOWS_PREFIXES "$ENV{KURIERIX_WINDOWS_PREFIXES}")
endif()

# Libraries, headers and CMake packages come from the MinGW tree and those folders only, never
# from the host's /usr; programs run during the build (Qt's moc, rcc, uic) are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw} ${KURIERIX_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config reads the .pc files of those folders alone.
set(pc_dirs "")
foreach(dir ${KURIERIX_WINDOWS_PREFIXES})
  list(APPEND pc_dirs ${dir}/lib/pkgconfig)
endforeach()
string(REPLACE ";" ":" pc_dirs "${pc_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${pc_dirs}")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Tests built with CTest run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
