# Install rules (the executables, desktop entry, AppStream metadata, icon, manual pages, user guide) and
# the Debian package: "cpack -G DEB" in a build folder, or scripts/package.sh.

include(GNUInstallDirs)
# Debian's folder for the package's documents, whatever the project's name.
set(VELMIRA_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/velmira)

set(VELMIRA_APP_ID "org.example.velmira" CACHE STRING
    "The program's reverse-DNS id: the names of its desktop entry, AppStream metadata and icon")
set(VELMIRA_SCREENSHOT_URL "${VELMIRA_SITE}/help" CACHE STRING
    "Web folder that serves the user guide's pictures (resources/help/*.png) for AppStream's screenshots")
# The types the program opens (keep in step with the open-with entries of the desktop integration).
set(VELMIRA_MIME_TYPES "text/plain;application/rtf;text/rtf;application/x-fictionbook+xml;\
application/x-zip-compressed-fb2;application/epub+zip;\
application/vnd.openxmlformats-officedocument.wordprocessingml.document;\
application/vnd.oasis.opendocument.text;text/html;application/xhtml+xml;application/pdf;")
set(VELMIRA_DOC_DIR "${CMAKE_INSTALL_PREFIX}/${VELMIRA_INSTALL_DOCDIR}")

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS velmira RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(VELMIRA_PROVIDES_SAY "")
set(man_pages velmira.1)
if(TARGET velmira-say)
  install(TARGETS velmira-say RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(VELMIRA_PROVIDES_SAY "    <binary>velmira-say</binary>\n")
  list(APPEND man_pages velmira-say.1)
endif()

configure_file(${packaging}/velmira.desktop.in ${staged}/${VELMIRA_APP_ID}.desktop @ONLY)
configure_file(${packaging}/velmira.metainfo.xml.in ${staged}/${VELMIRA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${staged}/${VELMIRA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${staged}/${VELMIRA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/velmira.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${VELMIRA_APP_ID}.svg)

foreach(page IN LISTS man_pages)
  configure_file(${packaging}/man/${page} ${staged}/man/${page} @ONLY)
  install(FILES ${staged}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  if(EXISTS ${packaging}/man/ru/${page})
    configure_file(${packaging}/man/ru/${page} ${staged}/man/ru/${page} @ONLY)
    install(FILES ${staged}/man/ru/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/ru/man1)
  endif()
endforeach()

# The user guide as the program writes it out, and its source with the pictures.
install(FILES ${PROJECT_SOURCE_DIR}/resources/Help.rtf ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${VELMIRA_INSTALL_DOCDIR})
install(FILES ${packaging}/copyright DESTINATION ${VELMIRA_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/ DESTINATION ${VELMIRA_INSTALL_DOCDIR}/help)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmira)
set(CPACK_PACKAGE_VENDOR "The Velmira developers")
set(CPACK_PACKAGE_CONTACT "The Velmira developers <${VELMIRA_EMAIL}>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "read text aloud with a pronunciation dictionary")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmira is a desktop program with a Russian user interface that reads text aloud with
espeak-ng: the whole text or the selection, once or up to a hundred times, corrected by
a pronunciation dictionary. It also records speech to sound files, speaks the clipboard
or typed words, keeps spoken reminders and highlights every fourth word for skimming.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VELMIRA_SITE})
# Libraries come from dpkg-shlibdeps; plugins and data that nothing links are named here: the SVG
# icon engine for the toolbar's icons, the voices' data.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, espeak-ng-data")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-writer")
include(CPack)
