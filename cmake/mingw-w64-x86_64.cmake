# Cross build for 64-bit Windows with Debian's MinGW-w64, win32 thread model
# (g++-mingw-w64-x86-64-win32). The posix thread model links the winpthreads runtime statically into
# every program, and with it imports that 64-bit Windows 5.2 lacks (GetTickCount64) and a
# process-wide vectored exception handler installed while the DLL is loaded. Nothing built here
# starts a thread or uses the standard library's thread types, so the win32 model serves all of
# it: the co-installer DLL, the contract suite, the Wine harness and the stand-ins.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
