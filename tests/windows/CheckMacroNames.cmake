cmake_minimum_required(VERSION 3.25)
# Fails when a name in a public header is also a macro of <windows.h> (with
# or without UNICODE), which would rename a function of ours (CopyFile to
# CopyFileW). Names used with the platform's own meaning are allowed.
set(allowed TRUE FALSE RGB GetRValue GetGValue GetBValue INVALID_HANDLE_VALUE _WIN32)

foreach(unicode "" "-DUNICODE")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/windows-macros.cpp "#include <windows.h>\n")
  execute_process(COMMAND ${CXX} ${unicode} -dM -E ${CMAKE_CURRENT_BINARY_DIR}/windows-macros.cpp
                  OUTPUT_VARIABLE defines COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "#define [A-Za-z_][A-Za-z0-9_]*" found "${defines}")
  string(REPLACE "#define " "" found "${found}")
  list(APPEND macros ${found})
endforeach()
# The compiler's own names (__cplusplus, __declspec) are no clash.
list(FILTER macros EXCLUDE REGEX "^__")
list(REMOVE_DUPLICATES macros)
list(LENGTH macros count)
if(count LESS 1000)
  message(FATAL_ERROR "only ${count} macros found in <windows.h>")
endif()

file(GLOB_RECURSE headers ${INCLUDE_DIR}/zvenv/*.h)
foreach(header ${headers})
  file(READ ${header} text)
  # Comments and literals hold words, not names.
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" text "${text}")
  string(REGEX REPLACE "L?\"([^\"\\\\]|\\\\.)*\"" "" text "${text}")
  string(REGEX REPLACE "#[ ]*include[^\n]*" "" text "${text}")
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" names "${text}")
  list(REMOVE_ITEM names ${allowed})
  foreach(name ${names})
    if(name IN_LIST macros)
      list(APPEND clashes "${header}: ${name}")
    endif()
  endforeach()
endforeach()
if(clashes)
  message(FATAL_ERROR "names of the public headers that <windows.h> defines as macros: ${clashes}")
endif()
