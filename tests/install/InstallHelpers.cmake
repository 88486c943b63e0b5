# Helpers of the install tests (included by InstallAndConsume*.cmake, which
# set `work`): commands that must succeed, expected output, file bytes.
# Output is read with CR LF folded to LF, so that the Windows programs'
# lines compare as the Linux ones do.
function(zv_run)
  cmake_parse_arguments(ARG "" "OUTPUT;WORKING_DIRECTORY" "COMMAND;ENV" ${ARGN})
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${work})
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ARG_ENV} ${ARG_COMMAND}
                  WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " shown "${ARG_COMMAND}")
    message(FATAL_ERROR "failed (${rc}): ${shown}\n${out}\n${err}")
  endif()
  if(ARG_OUTPUT)
    string(REPLACE "\r\n" "\n" out "${out}")
    set(${ARG_OUTPUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

function(zv_expect_match text regex what)
  if(NOT text MATCHES "${regex}")
    message(FATAL_ERROR "${what}: expected to match '${regex}', got:\n${text}")
  endif()
endfunction()

# The bytes of a file as hexadecimal text, and the UTF-16LE form of an ASCII text.
function(zv_hex file var)
  file(READ ${file} hex HEX)
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()
function(zv_utf16_hex text var)
  string(HEX "${text}" ascii)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\100" wide "${ascii}")
  set(${var} "${wide}" PARENT_SCOPE)
endfunction()
