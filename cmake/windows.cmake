# Windows build: the shipped plug-in, our own host, and the host's tests under Wine.
add_library(zuvrek SHARED ${PLUGIN_SOURCES} plugin/dll_main.cpp plugin/zuvrek.def)
target_link_libraries(zuvrek PRIVATE mca)
set_target_properties(zuvrek PROPERTIES PREFIX "" SUFFIX ".spi")
# Nothing in the plug-in throws or asks for types at run time, and it must
# import from KERNEL32 and the C runtime only.
target_compile_options(mca PRIVATE -fno-exceptions -fno-rtti)
target_compile_options(zuvrek PRIVATE -fno-exceptions -fno-rtti)
target_link_options(zuvrek PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--kill-at)

add_library(spi_host STATIC host/spi_plugin.cpp host/stdcall_call.cpp host/bmp_file.cpp)
target_include_directories(spi_host PUBLIC ${CMAKE_SOURCE_DIR})
target_link_options(spi_host PUBLIC -static)

add_executable(spihost host/spihost_main.cpp)
target_link_libraries(spihost PRIVATE spi_host)

if(ZUVREK_TESTS)
  enable_testing()
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  include(GoogleTest)
  add_executable(host_tests
    tests/wine/loaded_plugin.cpp
    tests/wine/plugin_boundary_test.cpp
    tests/wine/picture_test.cpp)
  target_link_libraries(host_tests PRIVATE spi_host test_support gtest gtest_main)
  add_dependencies(host_tests zuvrek)
  gtest_discover_tests(host_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  # The main job: the bundled sample through the real DLL into a BMP file.
  add_test(NAME spihost_converts_the_sample
    COMMAND spihost zuvrek.spi ${CMAKE_SOURCE_DIR}/samples/sample.mca sample.bmp
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(spihost_converts_the_sample PROPERTIES PASS_REGULAR_EXPRESSION "wrote sample.bmp \\(160 x 120\\)")
endif()

if(ZUVREK_TESTS)
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

  add_executable(spibench bench/wine_bench_main.cpp bench/bench_pictures.cpp)
  target_link_libraries(spibench PRIVATE spi_host test_support)
endif()
