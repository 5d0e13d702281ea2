# Native build: the plug-in code over our own Win32 layer, tested with GoogleTest.
add_library(win32shim STATIC
  win32/local_memory.cpp
  win32/files.cpp
  win32/strings.cpp)
target_include_directories(win32shim PUBLIC ${CMAKE_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(win32shim PUBLIC Threads::Threads)

add_library(plugin STATIC ${PLUGIN_SOURCES})
target_link_libraries(plugin PUBLIC mca win32shim)

if(ZUVREK_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
  add_executable(native_tests
    tests/support/fault_injection.cpp
    tests/container_test.cpp
    tests/payload_test.cpp
    tests/frame_test.cpp
    tests/plugin_info_test.cpp
    tests/picture_info_test.cpp
    tests/get_picture_test.cpp
    tests/win32_shim_test.cpp)
  target_link_libraries(native_tests PRIVATE plugin test_support GTest::gtest GTest::gtest_main)
  # The decoder's frame buffers come from malloc; tests fail them on demand.
  target_link_options(native_tests PRIVATE -Wl,--wrap=malloc)
  gtest_discover_tests(native_tests DISCOVERY_MODE PRE_TEST)
endif()

if(ZUVREK_BENCH)
  add_subdirectory(bench)
endif()
if(ZUVREK_FUZZ)
  add_subdirectory(fuzz)
endif()

add_executable(make_sample tools/make_sample.cpp)
target_link_libraries(make_sample PRIVATE test_support)
