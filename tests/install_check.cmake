# Installs the build into a fresh prefix and checks the layout: every program, the index
# library, the desktop entry and the icons in place, and the installed korvel-cli (its
# libraries found from the installed folders alone) creating a catalogue.
#
#   cmake -DBUILD=<build dir> -DPREFIX=<scratch folder> -DLIBDIR=<CMAKE_INSTALL_LIBDIR> -P install_check.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/korvel bin/korvel-cli bin/penlet bin/word2 bin/krvlextract ${LIBDIR}/korvel/libkrvlindex.so
          share/applications/korvel.desktop share/icons/hicolor/scalable/apps/korvel.svg
          share/icons/hicolor/48x48/apps/korvel.png
          share/doc/korvel/copyright share/doc/korvel/changelog.gz)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/korvel.desktop icon REGEX "^Icon=korvel$")
if(NOT icon)
  message(FATAL_ERROR "the desktop entry names no icon korvel")
endif()
# The desktop entry as the desktop's own checker reads it (when the checker is there).
find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/korvel.desktop
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR out MATCHES "error:" OR err MATCHES "error:")
    message(FATAL_ERROR "desktop-file-validate rejects the desktop entry: ${out} ${err}")
  endif()
endif()
# Run from a folder where the build's library is not: only the RUNPATH can find it.
# init makes the missing working folder.
execute_process(COMMAND ${PREFIX}/bin/korvel-cli --dir ${PREFIX}/work init
                WORKING_DIRECTORY ${PREFIX} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${PREFIX}/work/kv.kdb)
  message(FATAL_ERROR "installed korvel-cli init failed (${rc}): ${out} ${err}")
endif()
execute_process(COMMAND ${PREFIX}/bin/korvel-cli --dir ${PREFIX}/work nodes RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed korvel-cli nodes failed (${rc}): ${err}")
endif()
file(REMOVE_RECURSE ${PREFIX})
