# Fails when a source file of the project includes a path that climbs out of its folder
# ("../x.h"): such an include steps around the layer include paths.
# cmake -DROOT=<source dir> -P check_includes.cmake
file(GLOB_RECURSE _files ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
     ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h)
set(_found "")
foreach(_f IN LISTS _files)
  file(STRINGS ${_f} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\./")
  foreach(_l IN LISTS _lines)
    file(RELATIVE_PATH _rel ${ROOT} ${_f})
    string(APPEND _found "  ${_rel}: ${_l}\n")
  endforeach()
endforeach()
if(_found)
  message(FATAL_ERROR "includes that climb out of their folder:\n${_found}")
endif()
