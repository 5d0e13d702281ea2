# Windows build: the shipped plug-in, our own host, and the host's tests under
# Wine. An i686 toolchain builds the 32-bit zuvrek.spi, an x86-64 one the
# 64-bit zuvrek.sph with its Unicode entry points; the programs of the 64-bit
# build carry a "64" in their names.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZUVREK_BITS 64)
  set(ZUVREK_PLUGIN_FILE zuvrek.sph)
  set(ZUVREK_PLUGIN_SUFFIX .sph)
  set(ZUVREK_EXE_SUFFIX 64)
  set(ZUVREK_DEF plugin/zuvrek64.def)
  set(ZUVREK_WIC_DEF wic/zuvrek-wic64.def)
  list(APPEND PLUGIN_SOURCES plugin/unicode_entry_points.cpp)
else()
  set(ZUVREK_BITS 32)
  set(ZUVREK_PLUGIN_FILE zuvrek.spi)
  set(ZUVREK_PLUGIN_SUFFIX .spi)
  set(ZUVREK_EXE_SUFFIX "")
  set(ZUVREK_DEF plugin/zuvrek.def)
  set(ZUVREK_WIC_DEF wic/zuvrek-wic.def)
endif()

enable_language(RC)
set(RC_DESCRIPTION "MCA picture import plug-in (00IN, ${ZUVREK_BITS}-bit)")
set(RC_FILE ${ZUVREK_PLUGIN_FILE})
configure_file(cmake/version.rc.in ${CMAKE_BINARY_DIR}/version.rc @ONLY)
set(RC_DESCRIPTION "MCA picture decoder for the Windows Imaging Component (${ZUVREK_BITS}-bit)")
set(RC_FILE zuvrek-wic.dll)
configure_file(cmake/version.rc.in ${CMAKE_BINARY_DIR}/wic-version.rc @ONLY)

# Reproducible: no time stamps, no build paths in the binaries.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
add_link_options(-Wl,--no-insert-timestamp)

add_library(zuvrek SHARED ${PLUGIN_SOURCES} plugin/dll_main.cpp ${ZUVREK_DEF} ${CMAKE_BINARY_DIR}/version.rc)
target_link_libraries(zuvrek PRIVATE mca windows_threads)
set_target_properties(zuvrek PROPERTIES PREFIX "" SUFFIX ${ZUVREK_PLUGIN_SUFFIX})
# Nothing in the plug-in throws or asks for types at run time, and it must
# import from KERNEL32 and the C runtime only.
target_compile_options(mca PRIVATE -fno-exceptions -fno-rtti)
target_compile_options(windows_threads PRIVATE -fno-exceptions -fno-rtti)
target_compile_options(zuvrek PRIVATE -fno-exceptions -fno-rtti)
target_link_options(zuvrek PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--kill-at)

# The WIC codec: Explorer's thumbnails and every program that decodes through
# WIC. Imports system DLLs only, as the plug-in does.
add_library(zuvrek-wic SHARED
  wic/module.cpp
  wic/live_objects.cpp
  wic/codec_ids.cpp
  wic/mca_decoder.cpp
  wic/mca_frame.cpp
  wic/pixel_copy.cpp
  wic/stream_reading.cpp
  wic/registration.cpp
  wic/problems.cpp
  wic/mca_properties.cpp
  wic/image_property_keys.cpp
  ${ZUVREK_WIC_DEF}
  ${CMAKE_BINARY_DIR}/wic-version.rc)
target_compile_definitions(zuvrek-wic PRIVATE ZUVREK_VERSION_W=L"${PROJECT_VERSION}")
target_link_libraries(zuvrek-wic PRIVATE mca windows_threads ole32 shell32 advapi32 uuid)
set_target_properties(zuvrek-wic PROPERTIES PREFIX "")
target_compile_options(zuvrek-wic PRIVATE -fno-exceptions -fno-rtti)
target_link_options(zuvrek-wic PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--kill-at)

if(ZUVREK_BITS EQUAL 64)
  set(CHECKED_CALL tests/host/checked_call_x64.cpp)
else()
  set(CHECKED_CALL tests/host/checked_call_x86.cpp)
endif()
add_library(spi_host STATIC tests/host/spi_plugin.cpp ${CHECKED_CALL} tests/host/bmp_file.cpp)
target_include_directories(spi_host PUBLIC ${CMAKE_SOURCE_DIR})
target_link_options(spi_host PUBLIC -static)

add_executable(spihost tests/host/spihost_main.cpp)
target_link_libraries(spihost PRIVATE spi_host)
target_link_options(spihost PRIVATE -municode)
set_target_properties(spihost PROPERTIES OUTPUT_NAME spihost${ZUVREK_EXE_SUFFIX})

if(ZUVREK_TESTS)
  enable_testing()
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
  set(HOST_TEST_SOURCES
    tests/wine/loaded_plugin.cpp
    tests/wine/plugin_boundary_test.cpp
    tests/wine/picture_test.cpp)
  if(ZUVREK_BITS EQUAL 64)
    list(APPEND HOST_TEST_SOURCES tests/wine/x64_boundary_test.cpp tests/wine/unicode_test.cpp)
  endif()
  add_executable(host_tests ${HOST_TEST_SOURCES})
  set_target_properties(host_tests PROPERTIES OUTPUT_NAME host_tests${ZUVREK_EXE_SUFFIX})
  target_compile_definitions(host_tests PRIVATE ZUVREK_PLUGIN_FILE="${ZUVREK_PLUGIN_FILE}")
  target_link_libraries(host_tests PRIVATE spi_host test_support gtest gtest_main)
  add_dependencies(host_tests zuvrek)
  gtest_discover_tests(host_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  # The main job: the bundled sample through the real DLL into a BMP file.
  add_test(NAME spihost_converts_the_sample
    COMMAND spihost ${ZUVREK_PLUGIN_FILE} ${CMAKE_SOURCE_DIR}/samples/sample.mca sample.bmp
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(spihost_converts_the_sample PROPERTIES PASS_REGULAR_EXPRESSION "wrote sample.bmp \\(160 x 120\\)")

  if(ZUVREK_BITS EQUAL 64)
    # A file name no ANSI code page holds goes through the Unicode entry points.
    add_test(NAME spihost_converts_a_unicode_file_name
      COMMAND sh -c "cp '${CMAKE_SOURCE_DIR}/samples/sample.mca' '写真😀.mca' && \"$0\" spihost64.exe zuvrek.sph '写真😀.mca' '出力😀.bmp'; s=$?; rm -f '写真😀.mca' '出力😀.bmp'; exit $s"
        ${CMAKE_CROSSCOMPILING_EMULATOR}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(spihost_converts_a_unicode_file_name PROPERTIES
      PASS_REGULAR_EXPRESSION "wrote 出力😀.bmp \\(160 x 120\\)")
  endif()
  if(ZUVREK_BITS EQUAL 32)
    # Pictures near the memory limit, in a plain host (2 GB of address space)
    # and a large-address-aware one (4 GB under a 64-bit system).
    add_executable(large_picture tests/wine/large_picture_main.cpp)
    add_executable(large_picture_laa tests/wine/large_picture_main.cpp)
    target_link_options(large_picture_laa PRIVATE -Wl,--large-address-aware)
    foreach(target large_picture large_picture_laa)
      target_link_libraries(${target} PRIVATE spi_host test_support)
      add_dependencies(${target} zuvrek)
    endforeach()
    add_test(NAME large_picture_in_a_plain_host COMMAND large_picture 550 0 WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    add_test(NAME large_picture_in_a_large_address_aware_host COMMAND large_picture_laa 1800 0
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    add_test(NAME picture_no_block_can_hold_is_no_memory COMMAND large_picture_laa 2040 4
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(large_picture_in_a_plain_host large_picture_in_a_large_address_aware_host
      picture_no_block_can_hold_is_no_memory PROPERTIES RUN_SERIAL TRUE)
  endif()

  # The WIC codec through Wine's imaging factory, in a fresh prefix.
  add_executable(wic_tests tests/wine/wic_codec_test.cpp tests/wine/wic_shell_test.cpp tests/wine/loaded_plugin.cpp
    wic/codec_ids.cpp)
  set_target_properties(wic_tests PROPERTIES OUTPUT_NAME wic_tests${ZUVREK_EXE_SUFFIX})
  target_compile_definitions(wic_tests PRIVATE ZUVREK_PLUGIN_FILE="${ZUVREK_PLUGIN_FILE}")
  target_link_libraries(wic_tests PRIVATE spi_host test_support gtest gtest_main ole32 windowscodecs uuid)
  add_dependencies(wic_tests zuvrek zuvrek-wic)
  add_test(NAME wic_codec_registers_decodes_and_unregisters
    COMMAND sh ${CMAKE_SOURCE_DIR}/tests/wine/wic_codec_test.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
      ${CMAKE_BINARY_DIR} wic_tests${ZUVREK_EXE_SUFFIX}.exe)

  add_executable(spibench bench/wine_bench_main.cpp bench/bench_pictures.cpp)
  set_target_properties(spibench PROPERTIES OUTPUT_NAME spibench${ZUVREK_EXE_SUFFIX})
  target_compile_definitions(spibench PRIVATE ZUVREK_PLUGIN_FILE="${ZUVREK_PLUGIN_FILE}")
  target_link_libraries(spibench PRIVATE spi_host test_support)
  add_executable(wicbench bench/wic_bench_main.cpp bench/bench_pictures.cpp wic/codec_ids.cpp)
  set_target_properties(wicbench PROPERTIES OUTPUT_NAME wicbench${ZUVREK_EXE_SUFFIX})
  target_compile_definitions(wicbench PRIVATE ZUVREK_PLUGIN_FILE="${ZUVREK_PLUGIN_FILE}")
  target_link_libraries(wicbench PRIVATE spi_host test_support ole32 windowscodecs uuid psapi)
endif()
