# "Open with" for MCA pictures: zuvrek_viewer_entries(COMPONENT entry...)
# writes and installs, into the component, a desktop entry for each picture
# viewer given as "program|name|Exec line|icon". Each is hidden from menus
# and listed only where its viewer is installed (TryExec); the viewers' own
# entries are their packages' files. Offer only viewers that open MCA
# pictures as installed: tests/package/open_with_test.sh opens a picture
# through each entry.
function(zuvrek_viewer_entries component)
  foreach(viewer IN LISTS ARGN)
    string(REPLACE "|" ";" fields "${viewer}")
    list(GET fields 0 VIEWER_PROGRAM)
    list(GET fields 1 VIEWER_NAME)
    list(GET fields 2 VIEWER_EXEC)
    list(GET fields 3 VIEWER_ICON)
    set(entry ${CMAKE_BINARY_DIR}/applications/zuvrek-mca-${VIEWER_PROGRAM}.desktop)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/viewer.desktop.in ${entry} @ONLY)
    install(FILES ${entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${component})
  endforeach()
endfunction()
