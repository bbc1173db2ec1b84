# Installation and the Debian package.
#
#   bin/                         korvel, korvel-cli, penlet, word2, krvlextract (together: the
#                                window and korvel-cli find penlet, word2 and krvlextract beside
#                                themselves)
#   lib/<arch>/korvel/           libkrvlindex.so, private: found through the programs' RUNPATH
#   share/applications/          korvel.desktop (starts the window on ~/korvel)
#   share/icons/hicolor/         korvel.svg (scalable) and korvel.png (48x48)
#
# `cpack -G DEB` in the build folder makes korvel_<version>_<arch>.deb.

set(KORVEL_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/korvel)

set(_programs korvel-cli penlet word2 krvlextract)
if(TARGET korvel)
  list(PREPEND _programs korvel)
endif()
# Installed, the programs that link the index library find it through their RUNPATH,
# relative to their own folder, so the installed tree can be moved as a whole.
file(RELATIVE_PATH _bin_to_lib /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${KORVEL_PRIVATE_LIBDIR})
foreach(_p ${_programs})
  if(NOT _p STREQUAL word2 AND NOT _p STREQUAL krvlextract)
    set_target_properties(${_p} PROPERTIES INSTALL_RPATH "$ORIGIN/${_bin_to_lib}")
  endif()
endforeach()
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS krvlindex LIBRARY DESTINATION ${KORVEL_PRIVATE_LIBDIR} NAMELINK_SKIP)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/korvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/korvel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/korvel-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME korvel.png)

# The Debian package's own documents: the copyright file as it is, the changelog
# compressed reproducibly (no name, no time stamp in the gzip header).
set(KORVEL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/korvel)
set(_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${_changelog_gz}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                   COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${_changelog_gz}
                   DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog VERBATIM)
add_custom_target(korvel_changelog ALL DEPENDS ${_changelog_gz})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${KORVEL_DOC_DIR})
install(FILES ${_changelog_gz} DESTINATION ${KORVEL_DOC_DIR})

set(CPACK_PACKAGE_NAME korvel)
set(CPACK_PACKAGE_VENDOR "Korvel")
set(CPACK_PACKAGE_CONTACT "Korvel developers <korvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop document manager: a catalogue of files on every disk")
set(CPACK_PACKAGE_DESCRIPTION
    "Korvel keeps a catalogue (an encrypted SQLCipher file) of files on every disk, including disks that are offline, found through tags, search folders and full-text search. Files stay where they are.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY korvel)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds the private index library here, not in the system's folders.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/src/krvlindex)
# Programs Korvel runs: the text extractors of old word-processor files, of old
# spreadsheets (xls2csv, in catdoc) and of RTF; the font for Chinese texts. The window
# needs Qt's X11 platform plugin (in libqt6gui6 on Debian 12, which the shared-library
# dependencies already name) and Qt's Chinese translations.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "catdoc, antiword, unrtf")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei, xdg-utils, qt6-translations-l10n")
include(CPack)
