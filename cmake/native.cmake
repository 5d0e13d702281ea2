# Native build: the plug-in code over our own Win32 layer, tested with GoogleTest.
add_library(win32shim STATIC
  win32/local_memory.cpp
  win32/files.cpp
  win32/strings.cpp
  win32/threads.cpp)
target_include_directories(win32shim PUBLIC ${CMAKE_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(win32shim PUBLIC Threads::Threads)

target_link_libraries(windows_threads PUBLIC win32shim)

add_library(plugin STATIC ${PLUGIN_SOURCES})
target_link_libraries(plugin PUBLIC mca win32shim windows_threads)

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
    tests/lzss_test.cpp
    tests/frame_test.cpp
    tests/plugin_info_test.cpp
    tests/picture_info_test.cpp
    tests/get_picture_test.cpp
    tests/win32_shim_test.cpp
    tests/concurrency_test.cpp
    tests/threads_test.cpp
    tests/differential_test.cpp
    tests/api_boundary_test.cpp
    tests/reader_test.cpp)
  target_link_libraries(native_tests PRIVATE plugin test_support GTest::gtest GTest::gtest_main)
  target_compile_definitions(native_tests PRIVATE ZUVREK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # The decoder's frame buffers come from malloc; tests fail them on demand.
  target_link_options(native_tests PRIVATE -Wl,--wrap=malloc)
  gtest_discover_tests(native_tests DISCOVERY_MODE PRE_TEST)
  add_test(NAME front_ends_share_libraries_only COMMAND sh ${CMAKE_SOURCE_DIR}/tests/layout_test.sh ${CMAKE_SOURCE_DIR})

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

# Programs for systems without Windows: the converter and the gdk-pixbuf
# loader (they link the system's libspng and gdk-pixbuf, so not in the
# 32-bit builds; the Arm build has mcadec alone).
option(ZUVREK_PROGRAMS "Build mcadec and the gdk-pixbuf loader" ON)
include(CMakeDependentOption)
cmake_dependent_option(ZUVREK_PIXBUF_LOADER "Build the gdk-pixbuf loader and the programs' tests" ON
  "ZUVREK_PROGRAMS" OFF)
if(ZUVREK_PROGRAMS)
  find_package(PkgConfig REQUIRED)
  find_package(ZLIB REQUIRED)
  find_package(CLI11 REQUIRED)
  include(GNUInstallDirs)
  set_target_properties(mca PROPERTIES POSITION_INDEPENDENT_CODE ON)

  # PNG written as rows arrive, deflated on several threads.
  add_library(png_encoder STATIC png/png_encoder.cpp)
  target_link_libraries(png_encoder PUBLIC png_scanlines ZLIB::ZLIB Threads::Threads)

  add_executable(mcadec
    mcadec/main.cpp
    mcadec/convert.cpp
    mcadec/picture_writer.cpp
    mcadec/output_file.cpp
    mcadec/output_plan.cpp
    mcadec/row_pipe.cpp
    mcadec/interrupts.cpp
    mcadec/progress.cpp)
  target_link_libraries(mcadec PRIVATE mca png_encoder CLI11::CLI11 Threads::Threads)
  install(TARGETS mcadec RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT mcadec)
  configure_file(mcadec/data/mcadec.1.in ${CMAKE_BINARY_DIR}/mcadec.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/mcadec.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT mcadec)
  install(FILES mcadec/data/mcadec.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    RENAME mcadec COMPONENT mcadec)
  # Removes what the last `cmake --install` of this build wrote, and brings
  # the caches it refreshed up to date again.
  configure_file(cmake/uninstall.cmake.in ${CMAKE_BINARY_DIR}/uninstall.cmake @ONLY)
  add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/uninstall.cmake)
  if(ZUVREK_TESTS)
    add_test(NAME mcadec_converts_the_sample
      COMMAND mcadec -q -f -o ${CMAKE_BINARY_DIR}/sample.png ${CMAKE_SOURCE_DIR}/samples/sample.mca)
  endif()
endif()

if(ZUVREK_PIXBUF_LOADER)
  pkg_check_modules(SPNG REQUIRED IMPORTED_TARGET spng)  # the tests read PNGs back through libspng
  pkg_check_modules(GDK_PIXBUF REQUIRED IMPORTED_TARGET gdk-pixbuf-2.0)
  pkg_get_variable(GDK_PIXBUF_MODULEDIR gdk-pixbuf-2.0 gdk_pixbuf_moduledir)
  pkg_get_variable(GDK_PIXBUF_QUERY_LOADERS gdk-pixbuf-2.0 gdk_pixbuf_query_loaders)

  add_library(pixbufloader-mca MODULE pixbuf/io-mca.cpp)
  target_link_libraries(pixbufloader-mca PRIVATE mca PkgConfig::GDK_PIXBUF)
  # Under the prefix like everything else, in the place gdk-pixbuf's own
  # folder has below /usr; set it to ${GDK_PIXBUF_MODULEDIR} to install the
  # loader where the system's gdk-pixbuf finds it whatever the prefix.
  string(REGEX REPLACE "^/usr/" "" GDK_PIXBUF_LOADER_DIR "${GDK_PIXBUF_MODULEDIR}")
  set(ZUVREK_PIXBUF_LOADER_DIR "${GDK_PIXBUF_LOADER_DIR}" CACHE STRING
    "Where the gdk-pixbuf loader is installed (relative: below the prefix)")
  install(TARGETS pixbufloader-mca LIBRARY DESTINATION ${ZUVREK_PIXBUF_LOADER_DIR} COMPONENT loader)
  install(FILES pixbuf/zuvrek-mca.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages COMPONENT loader)
  install(FILES pixbuf/zuvrek-mca.thumbnailer DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers COMPONENT loader)
  # "Open with": the viewers that open what gdk-pixbuf loads. Ristretto is
  # not among them: it takes a file's type from libmagic alone, which knows
  # MCA pictures only once the user has edited /etc/magic.
  include(cmake/viewer_entries.cmake)
  zuvrek_viewer_entries(loader
    "eog|Image Viewer|eog %U|org.gnome.eog"
    "gthumb|gThumb|gthumb %U|org.gnome.gThumb"
    "geeqie|Geeqie|geeqie %F|geeqie"
    "gpicview|GPicView|gpicview %f|gpicview"
    "viewnior|Viewnior|viewnior %F|viewnior")
  # For libmagic, which has no folder for packages' entries: the user adds it to /etc/magic.
  install(FILES pixbuf/mca.magic DESTINATION ${CMAKE_INSTALL_DATADIR}/zuvrek COMPONENT loader)
  # Programs find the loader through the loaders cache and MCA files through
  # the MIME database: refresh both, unless staging (DESTDIR; packages leave
  # that to dpkg's triggers).
  configure_file(cmake/install-caches.cmake.in ${CMAKE_BINARY_DIR}/install-caches.cmake @ONLY)
  install(SCRIPT ${CMAKE_BINARY_DIR}/install-caches.cmake COMPONENT loader)

  option(ZUVREK_QT "Build the Qt image plug-ins (Qt 5 and Qt 6, each where found)" ON)
  if(ZUVREK_QT)
    include(cmake/qt.cmake)
  endif()

  if(ZUVREK_TESTS)
    # A loaders cache for our module alone, and a MIME database that knows
    # MCA files, both in the build folder, for the tests.
    set(PIXBUF_TEST_DATA ${CMAKE_BINARY_DIR}/pixbuf-test)
    # A module built with AddressSanitizer loads only where its runtime is.
    set(QUERY_LOADERS ${GDK_PIXBUF_QUERY_LOADERS})
    if(CMAKE_CXX_FLAGS MATCHES "sanitize=address")
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libclang_rt.asan-x86_64.so
        OUTPUT_VARIABLE ASAN_RUNTIME OUTPUT_STRIP_TRAILING_WHITESPACE)
      set(QUERY_LOADERS ${CMAKE_COMMAND} -E env LD_PRELOAD=${ASAN_RUNTIME} ASAN_OPTIONS=detect_leaks=0
        ${GDK_PIXBUF_QUERY_LOADERS})
    endif()
    add_custom_command(OUTPUT ${PIXBUF_TEST_DATA}/loaders.cache ${PIXBUF_TEST_DATA}/mime/mime.cache
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PIXBUF_TEST_DATA}/mime/packages
      COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/pixbuf/zuvrek-mca.xml ${PIXBUF_TEST_DATA}/mime/packages/
      COMMAND update-mime-database ${PIXBUF_TEST_DATA}/mime
      COMMAND ${QUERY_LOADERS} $<TARGET_FILE:pixbufloader-mca> > ${PIXBUF_TEST_DATA}/loaders.cache
      DEPENDS pixbufloader-mca pixbuf/zuvrek-mca.xml)
    add_custom_target(pixbuf_test_data ALL DEPENDS ${PIXBUF_TEST_DATA}/loaders.cache)

    add_executable(program_tests tests/programs/mcadec_test.cpp tests/programs/pixbuf_test.cpp
      tests/programs/rgb_pictures.cpp)
    target_compile_definitions(program_tests PRIVATE MCADEC_PATH="$<TARGET_FILE:mcadec>"
      PIXBUF_TEST_DATA="${PIXBUF_TEST_DATA}")
    target_link_libraries(program_tests PRIVATE plugin test_support PkgConfig::SPNG PkgConfig::GDK_PIXBUF
      ZLIB::ZLIB GTest::gtest GTest::gtest_main)
    add_dependencies(program_tests mcadec pixbuf_test_data)
    gtest_discover_tests(program_tests DISCOVERY_MODE PRE_TEST)
    # The real thumbnailer and query-loaders, which run apart from our sanitizers.
    set(SYSTEM_PROGRAMS_LOAD_IT yes)
    if(CMAKE_CXX_FLAGS MATCHES "sanitize")
      set(SYSTEM_PROGRAMS_LOAD_IT no)
    endif()
    add_test(NAME cmake_install_puts_the_programs_in_place
      COMMAND sh ${CMAKE_SOURCE_DIR}/tests/programs/install_test.sh ${CMAKE_BINARY_DIR}
        ${CMAKE_SOURCE_DIR}/samples/sample.mca ${SYSTEM_PROGRAMS_LOAD_IT})
    # The Python module and Pillow plug-in, built by setuptools from python/
    # with Debian's Python (where python3-pil is), tested with pytest against
    # mcadec. Not under the sanitizers: Python's own build of the module is
    # the one users get.
    if(NOT CMAKE_CXX_FLAGS MATCHES "sanitize" AND NOT CMAKE_CROSSCOMPILING)
      set(PYTHON_LIB ${CMAKE_BINARY_DIR}/python)
      file(GLOB PYTHON_SOURCES ${CMAKE_SOURCE_DIR}/python/zuvrek/*.py ${CMAKE_SOURCE_DIR}/python/src/*.cpp
        ${CMAKE_SOURCE_DIR}/mca/*.cpp ${CMAKE_SOURCE_DIR}/mca/*.h)
      add_custom_command(OUTPUT ${PYTHON_LIB}/zuvrek/__init__.py
        COMMAND /usr/bin/python3 setup.py -q build --build-base ${CMAKE_BINARY_DIR}/python-build
          --build-lib ${PYTHON_LIB} > /dev/null
        COMMAND ${CMAKE_COMMAND} -E touch ${PYTHON_LIB}/zuvrek/__init__.py
        DEPENDS ${PYTHON_SOURCES} ${CMAKE_SOURCE_DIR}/python/setup.py
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/python
        COMMENT "Building the Python module")
      add_custom_target(python_module ALL DEPENDS ${PYTHON_LIB}/zuvrek/__init__.py)
      add_test(NAME python_module_and_pillow
        COMMAND /usr/bin/python3 -m pytest -q -p no:cacheprovider ${CMAKE_SOURCE_DIR}/python/tests)
      set_tests_properties(python_module_and_pillow PROPERTIES ENVIRONMENT
        "PYTHONPATH=${PYTHON_LIB};PYTHONDONTWRITEBYTECODE=1;ZUVREK_SOURCE=${CMAKE_SOURCE_DIR};ZUVREK_MCADEC=$<TARGET_FILE:mcadec>;ZUVREK_MAKE_LARGE=$<TARGET_FILE:make_large>")
    endif()
    add_test(NAME ctrl_c_ends_the_progress_line
      COMMAND sh ${CMAKE_SOURCE_DIR}/tests/programs/interrupt_test.sh $<TARGET_FILE:mcadec> $<TARGET_FILE:make_large>)
    add_test(NAME bash_completes_any_file_name
      COMMAND sh ${CMAKE_SOURCE_DIR}/tests/programs/completion_test.sh
        ${CMAKE_SOURCE_DIR}/mcadec/data/mcadec.bash-completion)
    if(SYSTEM_PROGRAMS_LOAD_IT)
      add_test(NAME gdk_pixbuf_thumbnailer_makes_a_thumbnail
        COMMAND sh ${CMAKE_SOURCE_DIR}/tests/programs/thumbnailer_test.sh ${CMAKE_SOURCE_DIR}/samples/sample.mca
          $<TARGET_FILE:make_large>)
      set_tests_properties(gdk_pixbuf_thumbnailer_makes_a_thumbnail PROPERTIES ENVIRONMENT
        "GDK_PIXBUF_MODULE_FILE=${PIXBUF_TEST_DATA}/loaders.cache;XDG_DATA_HOME=${PIXBUF_TEST_DATA}")
    endif()
  endif()
endif()
