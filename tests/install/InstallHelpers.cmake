# Helpers of InstallAndConsume.cmake (which sets `work`). Output is read with
# CR LF folded to LF, so that Windows programs' lines compare as Linux ones.
function(zv_run)
  cmake_parse_arguments(ARG "" "OUTPUT" "COMMAND;ENV" ${ARGN})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ARG_ENV} ${ARG_COMMAND} WORKING_DIRECTORY ${work}
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

# A path as the programs print it (Z: is this machine's root under wine).
if(ZV_WINDOWS)
  set(exe .exe)
endif()
function(zv_native_path path var)
  if(ZV_WINDOWS)
    string(REPLACE "/" "\\" path "Z:${path}")
  endif()
  set(${var} "${path}" PARENT_SCOPE)
endfunction()

# The names a DLL exports (its table ends at the first empty line).
function(zv_exports dll var)
  zv_run(COMMAND ${ZV_OBJDUMP} -p ${dll} OUTPUT table)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${table}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
  list(TRANSFORM rows REPLACE "^\\[ *[0-9]+\\] " "")
  set(${var} ${rows} PARENT_SCOPE)
endfunction()
