# zv_windows_program(NAME SOURCE... [DEPENDS FILE...]): the static program ${CMAKE_BINARY_DIR}/wine/NAME.exe (target
# zv_NAME_exe, path in ZV_NAME_EXE) and the loader ZV_WINE64; ZV_WINDOWS_PROGRAM is TRUE when both can be had.
function(zv_windows_program name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  find_program(ZV_MINGW_CXX x86_64-w64-mingw32-g++)
  find_program(ZV_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
  set(ZV_WINDOWS_PROGRAM FALSE PARENT_SCOPE)
  if(NOT ZV_MINGW_CXX OR NOT ZV_WINE64)
    return()
  endif()
  set(exe ${CMAKE_BINARY_DIR}/wine/${name}.exe)
  add_custom_command(OUTPUT ${exe}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/wine
    COMMAND ${ZV_MINGW_CXX} -std=c++17 -O2 -static -I${PROJECT_SOURCE_DIR}/src -I${PROJECT_SOURCE_DIR}/include
            -o ${exe} ${ARG_UNPARSED_ARGUMENTS}
    DEPENDS ${ARG_UNPARSED_ARGUMENTS} ${ARG_DEPENDS}
    COMMENT "Building the Windows program ${name}"
    VERBATIM)
  add_custom_target(zv_${name}_exe ALL DEPENDS ${exe})
  set(ZV_${name}_EXE ${exe} PARENT_SCOPE)
  set(ZV_WINDOWS_PROGRAM TRUE PARENT_SCOPE)
endfunction()
