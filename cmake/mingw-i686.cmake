# Cross toolchain: 32-bit Windows with MinGW-w64's -win32 compilers; tests
# run under Wine through tools/wine-run.
#
# The -win32 variant, not -posix: the posix runtime links winpthread, which
# imports GetTickCount64 and so keeps the modules from loading on Windows XP.
# The win32 variant's libstdc++ has no std::thread or std::mutex; the code
# uses Win32 critical sections and threads instead.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The emulator (a wine-run script with the prefix of this build tree) is set
# by the top-level CMakeLists.txt.
