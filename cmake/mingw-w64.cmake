# Cross-building the Qt-free programs for 64-bit Windows with Debian's MinGW-w64 compilers. The -posix
# variants give std::thread; libstdc++, libgcc and winpthread are linked in, so lmpinfo.exe needs
# nothing beside the system's own libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The header-only libraries come from the build machine's packages, copied into a prefix of their own so
# that /usr/include, which holds the build machine's C library, never reaches the Windows compiler.
set(LMP_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(folder include/CLI include/nlohmann share/cmake/CLI11 share/cmake/nlohmann_json)
  if(EXISTS /usr/${folder})
    get_filename_component(parent ${LMP_HOST_HEADERS}/usr/${folder} DIRECTORY)
    file(COPY /usr/${folder} DESTINATION ${parent})
  endif()
endforeach()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${LMP_HOST_HEADERS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run under Wine, and so does anything CMake runs of the build's programs.
find_program(LMP_WINE NAMES wine wine64)
if(LMP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LMP_WINE})
endif()
