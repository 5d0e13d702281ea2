# The Qt image-format plug-in, one source built against Qt 5 and Qt 6 (each
# where its development files are): build/qt5/imageformats/ and
# build/qt6/imageformats/, so that QT_PLUGIN_PATH at build/qtN finds it as
# Qt programs find an installed one.
# ThreadSanitizer cannot see into the uninstrumented Qt: no plug-in there.
if(CMAKE_CXX_FLAGS MATCHES "sanitize=thread")
  return()
endif()
# Both Qts in one build: neither may define the versionless Qt:: targets.
set(QT_NO_CREATE_VERSIONLESS_TARGETS ON)
set(QT_NO_CREATE_VERSIONLESS_FUNCTIONS ON)
set(QT_PLUGIN_SOURCES qt/mca_handler.cpp qt/mca_plugin.cpp qt/mca_plugin.h)
foreach(qt 5 6)
  find_package(Qt${qt} COMPONENTS Core Gui QUIET)
  if(NOT Qt${qt}Gui_FOUND)
    message(STATUS "Qt ${qt} development files not found: no Qt ${qt} image plug-in")
    continue()
  endif()
  set(target qt${qt}-imageformat-mca)
  add_library(${target} MODULE ${QT_PLUGIN_SOURCES})
  set_target_properties(${target} PROPERTIES AUTOMOC ON OUTPUT_NAME zuvrek-mca PREFIX "lib"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/qt${qt}/imageformats)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${target} PRIVATE mca Qt${qt}::Core Qt${qt}::Gui)
  target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS)
  # Where this Qt loads image plug-ins from; under the prefix like the rest.
  get_target_property(qt_core_location Qt${qt}::Core LOCATION)
  get_filename_component(qt_libdir "${qt_core_location}" DIRECTORY)
  string(REGEX REPLACE "^/usr/" "" qt_plugin_dir "${qt_libdir}/qt${qt}/plugins/imageformats")
  install(TARGETS ${target} LIBRARY DESTINATION ${qt_plugin_dir} COMPONENT qt${qt})
  # "Open with": the Qt viewers, with the Qt that Debian 12 builds them with.
  if(qt EQUAL 5)
    include(cmake/viewer_entries.cmake)
    zuvrek_viewer_entries(qt5
      "gwenview|Gwenview|gwenview %U|gwenview"
      "qimgv|qimgv|qimgv %f|qimgv"
      "lximage-qt|LXImage-Qt|lximage-qt %F|lximage-qt")
  endif()

  if(ZUVREK_BENCH)
    add_executable(qt${qt}_bench bench/qt_bench.cpp)
    target_include_directories(qt${qt}_bench PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(qt${qt}_bench PRIVATE mca Qt${qt}::Core Qt${qt}::Gui)
  endif()
  if(ZUVREK_TESTS)
    add_executable(qt${qt}_read tests/qt/qt_read.cpp)
    target_link_libraries(qt${qt}_read PRIVATE Qt${qt}::Core Qt${qt}::Gui)
    add_executable(qt${qt}_tests tests/qt/qt_reader_test.cpp tests/programs/rgb_pictures.cpp)
    target_compile_definitions(qt${qt}_tests PRIVATE ZUVREK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    target_link_libraries(qt${qt}_tests PRIVATE plugin test_support PkgConfig::SPNG Qt${qt}::Core Qt${qt}::Gui
      GTest::gtest)
    add_dependencies(qt${qt}_tests ${target})
    gtest_discover_tests(qt${qt}_tests DISCOVERY_MODE PRE_TEST TEST_PREFIX "Qt${qt}."
      PROPERTIES ENVIRONMENT "QT_PLUGIN_PATH=${CMAKE_BINARY_DIR}/qt${qt};QT_QPA_PLATFORM=offscreen")
  endif()
endforeach()
