# Windows build: the shipped plug-in, our own host, and the host's tests under
# Wine. An i686 toolchain builds the 32-bit zuvrek.spi, an x86-64 one the
# 64-bit zuvrek.sph with its Unicode entry points, an ARM64 one zuvrek.spha,
# the name ARM64 hosts look for; the programs of the 64-bit builds carry a
# "64" or "arm64" in their names.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "ARM64")
  set(ZUVREK_BITS 64)
  set(ZUVREK_ARM64 ON)
  set(ZUVREK_PLUGIN_FILE zuvrek.spha)
  set(ZUVREK_PLUGIN_SUFFIX .spha)
  set(ZUVREK_EXE_SUFFIX arm64)
  set(ZUVREK_WIC_FILE zuvrek-wic-arm64.dll)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZUVREK_BITS 64)
  set(ZUVREK_WIC_FILE zuvrek-wic.dll)
  set(ZUVREK_PLUGIN_FILE zuvrek.sph)
  set(ZUVREK_PLUGIN_SUFFIX .sph)
  set(ZUVREK_EXE_SUFFIX 64)
else()
  set(ZUVREK_BITS 32)
  set(ZUVREK_WIC_FILE zuvrek-wic.dll)
  set(ZUVREK_PLUGIN_FILE zuvrek.spi)
  set(ZUVREK_PLUGIN_SUFFIX .spi)
  set(ZUVREK_EXE_SUFFIX "")
endif()

enable_language(RC)
# zuvrek_version_resource(OUT DESCRIPTION FILE): a DLL's version resource.
function(zuvrek_version_resource out description file)
  set(RC_DESCRIPTION "${description}")
  set(RC_FILE ${file})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_BINARY_DIR}/${out} @ONLY)
endfunction()

# Reproducible: no time stamps, no build paths in the binaries.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
# (zig's linker writes none of its own and takes no such option.)
# The DLLs: the runtimes linked in, stripped, and on i686 stdcall names
# without decoration, which ARM64 never has.
set(ZUVREK_DLL_LINK_OPTIONS -static -static-libgcc -static-libstdc++ -s)
if(NOT ZUVREK_ARM64)
  add_link_options(-Wl,--no-insert-timestamp)
  list(APPEND ZUVREK_DLL_LINK_OPTIONS -Wl,--kill-at)
endif()
# The libraries the DLLs link throw nothing and ask for no types at run time.
target_compile_options(mca PRIVATE -fno-exceptions -fno-rtti)
target_compile_options(windows_threads PRIVATE -fno-exceptions -fno-rtti)

# Our test host: loads any 00IN plug-in by path and checks every call.
if(ZUVREK_ARM64)
  set(CHECKED_CALL tests/host/checked_call_arm64.cpp)
elseif(ZUVREK_BITS EQUAL 64)
  set(CHECKED_CALL tests/host/checked_call_x64.cpp)
else()
  set(CHECKED_CALL tests/host/checked_call_x86.cpp)
endif()
add_library(spi_host STATIC tests/host/spi_plugin.cpp ${CHECKED_CALL} tests/host/bmp_file.cpp)
target_include_directories(spi_host PUBLIC ${CMAKE_SOURCE_DIR})
target_link_options(spi_host PUBLIC -static)
if(ZUVREK_ARM64)
  # Linked into every test program whole, so that it comes before the import.
  target_link_libraries(spi_host PUBLIC ucrt_printf $<TARGET_OBJECTS:ucrt_printf>)
endif()

add_executable(spihost tests/host/spihost_main.cpp)
target_link_libraries(spihost PRIVATE spi_host)
target_link_options(spihost PRIVATE -municode)
set_target_properties(spihost PROPERTIES OUTPUT_NAME spihost${ZUVREK_EXE_SUFFIX})

if(ZUVREK_TESTS)
  enable_testing()
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
endif()

zuvrek_front_end(plugin)
zuvrek_front_end(wic)
# mcadec.exe, where libdeflate's source is at hand (png/CMakeLists.txt).
if(TARGET png_encoder)
  zuvrek_front_end(mcadec)
endif()

if(ZUVREK_TESTS)
  add_executable(spibench bench/wine_bench_main.cpp bench/bench_pictures.cpp)
  set_target_properties(spibench PROPERTIES OUTPUT_NAME spibench${ZUVREK_EXE_SUFFIX})
  target_compile_definitions(spibench PRIVATE ZUVREK_PLUGIN_FILE="${ZUVREK_PLUGIN_FILE}")
  target_link_libraries(spibench PRIVATE spi_host test_support)
  add_executable(wicbench bench/wic_bench_main.cpp bench/bench_pictures.cpp wic/codec_ids.cpp)
  set_target_properties(wicbench PROPERTIES OUTPUT_NAME wicbench${ZUVREK_EXE_SUFFIX})
  target_compile_definitions(wicbench PRIVATE ZUVREK_PLUGIN_FILE="${ZUVREK_PLUGIN_FILE}")
  target_link_libraries(wicbench PRIVATE spi_host test_support ole32 windowscodecs uuid psapi)
endif()
