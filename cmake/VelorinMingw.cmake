# Shared part of the mingw-w64 toolchain files: compilers, search roots, static runtimes.
# VELORIN_MINGW_DEPS (cache variable or environment) names the prefix holding the
# cross-built libogg, speex and sonic.

set(CMAKE_C_COMPILER ${VELORIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELORIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELORIN_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${VELORIN_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VELORIN_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

if(NOT VELORIN_MINGW_DEPS AND DEFINED ENV{VELORIN_MINGW_DEPS})
  set(VELORIN_MINGW_DEPS $ENV{VELORIN_MINGW_DEPS})
endif()
# try_compile projects read the toolchain again and need the same value.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELORIN_MINGW_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${VELORIN_MINGW_TRIPLE} ${VELORIN_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only static archives: the DLL must not pull libogg, speex or sonic DLLs beside it.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# libgcc, libstdc++ and winpthreads go inside each binary, so nothing else is shipped.
set(_velorin_static_runtime "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_velorin_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_velorin_static_runtime}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_velorin_static_runtime}")
