# The browser build: the decoder as a WebAssembly module and the one
# self-contained page, build/web/mca-viewer.html, that embeds it. Node.js
# writes the page and runs the tests (the module against the native
# decoder's output, the page in Debian's Chromium through playwright-core).
find_program(NODE node REQUIRED)

add_executable(mca_module web/module.cpp)
set_target_properties(mca_module PROPERTIES OUTPUT_NAME mca SUFFIX .wasm)
target_link_libraries(mca_module PRIVATE mca png_scanlines)
# A reactor: no main, exports called by the page; only what is exported stays.
target_compile_options(mca PRIVATE -fno-exceptions -fno-rtti)
target_compile_options(png_scanlines PRIVATE -fno-exceptions -fno-rtti)
target_compile_options(mca_module PRIVATE -fno-exceptions -fno-rtti)
target_link_options(mca_module PRIVATE -mexec-model=reactor -Wl,--strip-all -Wl,--gc-sections)
# zv_scanlines may suspend the module until the page has deflated the band it
# hands over (binaryen's asyncify), so that no more than a band is ever held.
find_program(WASM_OPT wasm-opt REQUIRED)
add_custom_command(TARGET mca_module POST_BUILD
  COMMAND ${WASM_OPT} -O2 --asyncify --pass-arg=asyncify-imports@env.zv_scanlines $<TARGET_FILE:mca_module>
    -o $<TARGET_FILE:mca_module>
  VERBATIM)

set(PAGE ${CMAKE_BINARY_DIR}/mca-viewer.html)
set(PAGE_SOURCES web/viewer.html web/viewer.css web/viewer.js web/convert.js web/worker.js web/zip.js)
add_custom_command(OUTPUT ${PAGE}
  COMMAND ${NODE} ${CMAKE_SOURCE_DIR}/web/build_page.mjs $<TARGET_FILE:mca_module> ${PAGE} ${PROJECT_VERSION}
  DEPENDS mca_module ${PAGE_SOURCES} web/build_page.mjs
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
  COMMENT "Writing mca-viewer.html")
add_custom_target(page ALL DEPENDS ${PAGE})

if(ZUVREK_TESTS)
  enable_testing()
  # The native build's mcadec is the reference; its tools write the pictures.
  set(ZUVREK_NATIVE_BUILD ${CMAKE_SOURCE_DIR}/build/native CACHE PATH
    "A native build (preset native) whose mcadec, make_large and write_bench_pictures the tests use")
  set(BENCH_PICTURES ${CMAKE_BINARY_DIR}/bench-pictures)
  add_test(NAME web_test_pictures COMMAND ${ZUVREK_NATIVE_BUILD}/bench/write_bench_pictures ${BENCH_PICTURES})
  set_tests_properties(web_test_pictures PROPERTIES FIXTURES_SETUP web_pictures)
  add_test(NAME web_module_gives_the_native_decoders_pixels
    COMMAND ${NODE} tests/web/module_test.mjs $<TARGET_FILE:mca_module> ${ZUVREK_NATIVE_BUILD}/mcadec
      fuzz/corpus/picture samples ${BENCH_PICTURES} ${BENCH_PICTURES}/small
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  add_test(NAME web_page_in_chromium
    COMMAND ${NODE} tests/web/page_test.mjs ${PAGE} ${ZUVREK_NATIVE_BUILD}/mcadec ${ZUVREK_NATIVE_BUILD}/make_large
      ${BENCH_PICTURES}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(web_module_gives_the_native_decoders_pixels web_page_in_chromium PROPERTIES
    FIXTURES_REQUIRED web_pictures)
endif()
