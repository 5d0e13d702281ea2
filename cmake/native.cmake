# Native build: the decoder, the plug-in's code over our own Win32 layer and
# its tests, the tools that write our pictures, and the front ends for
# systems without Windows.
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
endif()

if(ZUVREK_TESTS OR ZUVREK_BENCH OR ZUVREK_FUZZ)
  zuvrek_front_end(plugin)  # natively, the library the native tests load
endif()

if(ZUVREK_TESTS)
  add_subdirectory(tests)
  add_subdirectory(tools)
endif()
if(ZUVREK_BENCH)
  add_subdirectory(bench)
endif()
if(ZUVREK_FUZZ)
  enable_testing()
  add_subdirectory(fuzz)
endif()

if(ZUVREK_PROGRAMS)
  include(GNUInstallDirs)
  set_target_properties(mca PROPERTIES POSITION_INDEPENDENT_CODE ON)
  zuvrek_front_end(mcadec)
  zuvrek_front_end(pixbuf)
  # ThreadSanitizer cannot see into the uninstrumented Qt: no plug-in there.
  if(NOT CMAKE_CXX_FLAGS MATCHES "sanitize=thread")
    zuvrek_front_end(qt)
  endif()
  zuvrek_front_end(python)
  if(ZUVREK_TESTS AND ZUVREK_FRONT_END_MCADEC AND ZUVREK_FRONT_END_PIXBUF)
    # `cmake --install`, and the system's own programs loading what it put
    # in place (not with our sanitizers, which those programs lack).
    set(SYSTEM_PROGRAMS_LOAD_IT yes)
    if(CMAKE_CXX_FLAGS MATCHES "sanitize")
      set(SYSTEM_PROGRAMS_LOAD_IT no)
    endif()
    add_test(NAME cmake_install_puts_the_programs_in_place
      COMMAND sh ${CMAKE_SOURCE_DIR}/tests/package/install_test.sh ${CMAKE_BINARY_DIR}
        ${CMAKE_SOURCE_DIR}/samples/sample.mca ${SYSTEM_PROGRAMS_LOAD_IT})
  endif()
endif()
