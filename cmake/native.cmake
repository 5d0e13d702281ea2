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
  # Sanitizer and 32-bit builds compile GoogleTest with their own flags.
  option(ZUVREK_GTEST_FROM_SOURCE "Build GoogleTest from /usr/src/googletest" OFF)
  if(ZUVREK_GTEST_FROM_SOURCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
  add_executable(native_tests
    tests/support/fault_injection.cpp
    tests/container_test.cpp
    tests/payload_test.cpp
    tests/frame_test.cpp
    tests/plugin_info_test.cpp
    tests/picture_info_test.cpp
    tests/get_picture_test.cpp
    tests/win32_shim_test.cpp
    tests/concurrency_test.cpp)
  target_link_libraries(native_tests PRIVATE plugin test_support GTest::gtest GTest::gtest_main)
  # The decoder's frame buffers come from malloc; tests fail them on demand.
  target_link_options(native_tests PRIVATE -Wl,--wrap=malloc)
  gtest_discover_tests(native_tests DISCOVERY_MODE PRE_TEST)

  add_executable(make_sample tools/make_sample.cpp)
  target_link_libraries(make_sample PRIVATE test_support)
  add_executable(make_large tools/make_large.cpp)
  target_link_libraries(make_large PRIVATE test_support)
  add_executable(make_corpus tools/make_corpus.cpp)
  target_link_libraries(make_corpus PRIVATE test_support)
endif()

if(ZUVREK_BENCH)
  add_subdirectory(bench)
endif()
if(ZUVREK_FUZZ)
  enable_testing()
  add_subdirectory(fuzz)
endif()

# Programs for systems without Windows: the converter and the gdk-pixbuf loader.
find_package(PkgConfig REQUIRED)
pkg_check_modules(SPNG REQUIRED IMPORTED_TARGET spng)
find_package(CLI11 REQUIRED)
add_executable(mcadec
  mcadec/main.cpp
  mcadec/convert.cpp
  mcadec/picture_file.cpp
  mcadec/output_file.cpp
  mcadec/progress.cpp)
target_compile_definitions(mcadec PRIVATE ZUVREK_VERSION="${PROJECT_VERSION}")
target_link_libraries(mcadec PRIVATE mca PkgConfig::SPNG CLI11::CLI11 Threads::Threads)
include(GNUInstallDirs)
install(TARGETS mcadec RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
