# Cross toolchain for the Windows parts (vekcdc5.dll, the player stubs):
# mingw-w64 for 64-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_prefix x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER ${_prefix}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER ${_prefix}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER ${_prefix}-windres REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
