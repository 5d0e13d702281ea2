# 32-bit Windows; programs run under Wine in a 32-bit prefix.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZUVREK_MINGW_TRIPLE i686-w64-mingw32)
set(ZUVREK_WINE_RUN wine-run.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
