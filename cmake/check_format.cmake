# Fails when a source file of the project differs from what clang-format makes of it with the
# configuration at the root (.clang-format). `scripts/format` rewrites the tree in place.
# cmake -DROOT=<source dir> -DCLANG_FORMAT=<program> -P check_format.cmake
file(GLOB_RECURSE _files ${ROOT}/src/*.cpp ${ROOT}/src/*.h ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
     ${ROOT}/bench/*.cpp ${ROOT}/bench/*.h)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run --Werror ${_files}
                WORKING_DIRECTORY ${ROOT} RESULT_VARIABLE _rc ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
  string(REGEX MATCHALL "[^\n]*error: code should be clang-formatted[^\n]*" _where "${_err}")
  string(REPLACE ";" "\n" _where "${_where}")
  message(FATAL_ERROR "files not formatted (run scripts/format):\n${_where}")
endif()
