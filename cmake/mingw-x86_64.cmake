# 64-bit Windows; programs run under wine64 in a 64-bit prefix.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZUVREK_MINGW_TRIPLE x86_64-w64-mingw32)
set(ZUVREK_WINE_RUN wine64-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
