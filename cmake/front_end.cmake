# zuvrek_front_end(FOLDER): a front end, built from its own folder's
# CMakeLists.txt. A front end reaches the decoder through mca.h alone (it
# links the library mca) and shares only the libraries png_scanlines,
# png_encoder and windows_threads (tests/layout_test.sh holds it to that);
# its tests are in FOLDER/tests/. Each is an option, ZUVREK_FRONT_END_FOLDER (on by
# default), and its programs and libraries land at the top of the build
# folder, where the tests, scripts and packages find them.
function(zuvrek_front_end folder)
  string(TOUPPER "ZUVREK_FRONT_END_${folder}" option)
  option(${option} "Build the ${folder} front end" ON)
  if(${option})
    set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    add_subdirectory(${folder} ${CMAKE_BINARY_DIR}/front_ends/${folder})
  endif()
endfunction()
