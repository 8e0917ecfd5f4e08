# The Windows zip, lumera-VERSION-win64.zip (`make windows`): what `cmake --install` puts
# in place (the programs in bin/, stripped, the static library with its header and CMake
# files), a README of its own, the manual pages rendered to HTML by groff, and the example.
install(FILES ${PROJECT_SOURCE_DIR}/examples/sample.lum ${PROJECT_SOURCE_DIR}/examples/dec.xml
        DESTINATION examples)

find_program(LUMERA_GROFF groff)
if(LUMERA_GROFF)
  set(pages)
  foreach(page lumera lumera-pack lumera-explain)
    set(html ${PROJECT_BINARY_DIR}/man/${page}.html)
    add_custom_command(OUTPUT ${html}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND sh -c "\"$0\" -man -Thtml -Wbreak \"$1\" > \"$2\"" ${LUMERA_GROFF}
              ${PROJECT_SOURCE_DIR}/man/${page}.1 ${html}
      DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.1
      VERBATIM)
    list(APPEND pages ${html})
  endforeach()
  add_custom_target(lumera_manual_pages ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION doc)
  set(LUMERA_MANUAL_PAGES "\nEvery option is in the manual pages: doc\\lumera.html, doc\\lumera-pack.html\nand doc\\lumera-explain.html.")
else()
  message(STATUS "groff not found: the Windows zip goes without the manual pages")
endif()

# The README names only what the zip holds, with Windows' line ends.
configure_file(${PROJECT_SOURCE_DIR}/docs/README-windows.txt.in
               ${PROJECT_BINARY_DIR}/README-windows.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/README-windows.txt DESTINATION .)

set(CPACK_STRIP_FILES TRUE)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME lumera-${PROJECT_VERSION}-win64)
include(CPack)
