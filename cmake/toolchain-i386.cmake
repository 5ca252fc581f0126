# 32-bit x86 Linux (the platform's own ABI: 32-bit long and pointers).
# Use: cmake -B build/i386 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake
# Needs Debian's g++-multilib. The project adds -msse2 -mfpmath=sse itself so the
# arithmetic matches the 64-bit build bit for bit (no x87 excess precision).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# 64-bit packages must never be picked up by the 32-bit build.
set(CMAKE_IGNORE_PREFIX_PATH "/usr/lib/x86_64-linux-gnu/cmake")
set(CMAKE_SYSTEM_IGNORE_PATH "/usr/lib/x86_64-linux-gnu;/usr/lib/x86_64-linux-gnu/cmake")
