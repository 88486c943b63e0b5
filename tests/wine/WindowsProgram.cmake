# zv_windows_profile_program(): builds ProfileScript.cpp as a Windows program
# with the mingw-w64 cross compiler (target zv_profile_script_exe, file in
# ZV_PROFILE_SCRIPT_EXE) and finds the loader that runs it (ZV_WINE64). Sets
# ZV_WINDOWS_PROFILE_PROGRAM to TRUE when both are there.
function(zv_windows_profile_program)
  find_program(ZV_MINGW_CXX x86_64-w64-mingw32-g++)
  find_program(ZV_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
  if(NOT ZV_MINGW_CXX OR NOT ZV_WINE64)
    set(ZV_WINDOWS_PROFILE_PROGRAM FALSE PARENT_SCOPE)
    return()
  endif()
  set(source ${PROJECT_SOURCE_DIR}/tests/wine/ProfileScript.cpp)
  set(exe ${CMAKE_BINARY_DIR}/wine/profile_script.exe)
  if(NOT TARGET zv_profile_script_exe)
    add_custom_command(OUTPUT ${exe}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/wine
      COMMAND ${ZV_MINGW_CXX} -std=c++17 -O2 -static -o ${exe} ${source}
      DEPENDS ${source}
      COMMENT "Building the Windows profile-script program"
      VERBATIM)
    add_custom_target(zv_profile_script_exe ALL DEPENDS ${exe})
  endif()
  set(ZV_PROFILE_SCRIPT_EXE ${exe} PARENT_SCOPE)
  set(ZV_WINE64 ${ZV_WINE64} PARENT_SCOPE)
  set(ZV_WINDOWS_PROFILE_PROGRAM TRUE PARENT_SCOPE)
endfunction()
