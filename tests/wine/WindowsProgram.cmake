# zv_windows_program(NAME SOURCE... [DEPENDS FILE...]): builds the sources as
# the static Windows program ${CMAKE_BINARY_DIR}/wine/NAME.exe with the
# mingw-w64 cross compiler (target zv_NAME_exe, the file in ZV_NAME_EXE) and
# finds the loader that runs it (ZV_WINE64). Sets ZV_WINDOWS_PROGRAM to TRUE
# when both are there.
function(zv_windows_program name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  find_program(ZV_MINGW_CXX x86_64-w64-mingw32-g++)
  find_program(ZV_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
  set(ZV_WINDOWS_PROGRAM FALSE PARENT_SCOPE)
  if(NOT ZV_MINGW_CXX OR NOT ZV_WINE64)
    return()
  endif()
  set(exe ${CMAKE_BINARY_DIR}/wine/${name}.exe)
  if(NOT TARGET zv_${name}_exe)
    add_custom_command(OUTPUT ${exe}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/wine
      COMMAND ${ZV_MINGW_CXX} -std=c++17 -O2 -static -I${PROJECT_SOURCE_DIR}/src -I${PROJECT_SOURCE_DIR}/include
              -o ${exe} ${ARG_UNPARSED_ARGUMENTS}
      DEPENDS ${ARG_UNPARSED_ARGUMENTS} ${ARG_DEPENDS}
      COMMENT "Building the Windows program ${name}"
      VERBATIM)
    add_custom_target(zv_${name}_exe ALL DEPENDS ${exe})
  endif()
  set(ZV_${name}_EXE ${exe} PARENT_SCOPE)
  set(ZV_WINDOWS_PROGRAM TRUE PARENT_SCOPE)
endfunction()
