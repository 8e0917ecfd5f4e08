# The Windows zip, lumera-VERSION-win64.zip (`make windows`): what `cmake --install` puts
# in place (the programs in bin/, the static library with its header and CMake files), the
# README, the manual pages rendered to HTML by groff, and the example.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
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
else()
  message(STATUS "groff not found: the Windows zip goes without the manual pages")
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME lumera-${PROJECT_VERSION}-win64)
include(CPack)
