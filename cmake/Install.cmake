# What `cmake --install` puts where. The programs live in a private folder, lib/ostrel/,
# beside the engine folder LibAV/ and the user guide, which they find next to their own real
# path; bin/ holds relative links to them. The rest is the desktop's: the menu entry, the
# icon in the hicolor theme, the AppStream metainfo, the manual pages and the documents.
include(GNUInstallDirs)

set(OSTREL_APP_ID com.ostrel_software.MediaConverter)
set(OSTREL_PRIVATE_DIR lib/ostrel)
set(OSTREL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/ostrel)
set(OSTREL_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
set(OSTREL_DATA_BUILD_DIR ${PROJECT_BINARY_DIR}/data)
set(OSTREL_ICON_SIZES 16 32 48 64 128 256)
file(MAKE_DIRECTORY ${OSTREL_DATA_BUILD_DIR})

if(NOT OSTREL_CORE_ONLY)
  install(TARGETS ostrel ostrel-convert RUNTIME DESTINATION ${OSTREL_PRIVATE_DIR})
  install(TARGETS ostrel-engine LIBRARY DESTINATION ${OSTREL_PRIVATE_DIR}/LibAV)
  install(FILES ${PROJECT_SOURCE_DIR}/src/app/help.html DESTINATION ${OSTREL_PRIVATE_DIR})
  install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/translations/
          DESTINATION ${OSTREL_PRIVATE_DIR}/translations FILES_MATCHING PATTERN "*.qm")

  # The links are made here and installed as links.
  foreach(program ostrel ostrel-convert)
    file(CREATE_LINK ../${OSTREL_PRIVATE_DIR}/${program} ${OSTREL_DATA_BUILD_DIR}/${program}
         SYMBOLIC)
    install(FILES ${OSTREL_DATA_BUILD_DIR}/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
  endforeach()
endif()

install(FILES ${OSTREL_DATA_DIR}/${OSTREL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${OSTREL_DATA_DIR}/${OSTREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${OSTREL_DATA_DIR}/${OSTREL_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)

# Bitmap icons for desktops and menus that do not draw SVG, rendered from the SVG.
find_program(OSTREL_RSVG_CONVERT rsvg-convert)
set(OSTREL_GENERATED_DATA)
if(OSTREL_RSVG_CONVERT)
  foreach(size ${OSTREL_ICON_SIZES})
    set(png ${OSTREL_DATA_BUILD_DIR}/icons/${size}x${size}/${OSTREL_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${OSTREL_DATA_BUILD_DIR}/icons/${size}x${size}
      COMMAND ${OSTREL_RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
              ${OSTREL_DATA_DIR}/${OSTREL_APP_ID}.svg
      DEPENDS ${OSTREL_DATA_DIR}/${OSTREL_APP_ID}.svg
      COMMENT "Rendering the ${size} px icon" VERBATIM)
    list(APPEND OSTREL_GENERATED_DATA ${png})
    install(FILES ${png}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(STATUS "rsvg-convert not found: only the scalable icon is installed")
endif()

# Manual pages and the change log are installed compressed, as Debian wants them.
foreach(page ostrel.1 ostrel-convert.1)
  set(gz ${OSTREL_DATA_BUILD_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${OSTREL_DATA_DIR}/man/${page} ${OSTREL_DATA_BUILD_DIR}/man/${page}
    COMMAND gzip -9nf ${OSTREL_DATA_BUILD_DIR}/man/${page}
    DEPENDS ${OSTREL_DATA_DIR}/man/${page}
    COMMENT "Compressing the manual page ${page}" VERBATIM)
  list(APPEND OSTREL_GENERATED_DATA ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set(changelog_gz ${OSTREL_DATA_BUILD_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E copy ${OSTREL_DATA_DIR}/changelog ${OSTREL_DATA_BUILD_DIR}/changelog
  COMMAND gzip -9nf ${OSTREL_DATA_BUILD_DIR}/changelog
  DEPENDS ${OSTREL_DATA_DIR}/changelog
  COMMENT "Compressing the change log" VERBATIM)
list(APPEND OSTREL_GENERATED_DATA ${changelog_gz})
add_custom_target(ostrel_data ALL DEPENDS ${OSTREL_GENERATED_DATA})

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${OSTREL_DATA_DIR}/copyright ${changelog_gz}
        DESTINATION ${OSTREL_DOC_DIR})
