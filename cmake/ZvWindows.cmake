# The Windows build: DLL names, the runtime DLLs a Windows consumer needs, and
# running the test programs under wine64 when cross compiling.
if(NOT WIN32)
  return()
endif()

# The GCC and libgcrypt runtime DLLs the project's binaries load. They are
# installed beside the binaries; the test runs find them through WINEPATH.
set(ZV_RUNTIME_DLL_NAMES libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll libgcrypt-20.dll
    libgpg-error-0.dll zlib1.dll)
set(ZV_RUNTIME_DLLS)
set(ZV_RUNTIME_DLL_DIRS)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE zv_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(zv_gcc_dir "${zv_libstdcxx}" DIRECTORY)
foreach(dll ${ZV_RUNTIME_DLL_NAMES})
  find_file(ZV_DLL_${dll} ${dll} PATHS ${zv_gcc_dir} /usr/${ZV_MINGW_TRIPLE}/bin /usr/${ZV_MINGW_TRIPLE}/lib
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ZV_DLL_${dll})
    message(FATAL_ERROR "The Windows runtime DLL ${dll} was not found")
  endif()
  list(APPEND ZV_RUNTIME_DLLS ${ZV_DLL_${dll}})
  get_filename_component(dir ${ZV_DLL_${dll}} DIRECTORY)
  list(APPEND ZV_RUNTIME_DLL_DIRS ${dir})
endforeach()
list(REMOVE_DUPLICATES ZV_RUNTIME_DLL_DIRS)

if(CMAKE_CROSSCOMPILING)
  find_program(ZV_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
  find_program(ZV_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ZV_WINE64)
    message(FATAL_ERROR "wine64 is needed to run the Windows tests (Debian package wine64)")
  endif()
  # WINEPATH lists Windows folders; Z: is the root of the Linux file system.
  set(zv_winepath)
  foreach(dir ${ZV_RUNTIME_DLL_DIRS})
    string(REPLACE "/" "\\\\" dir "${dir}")
    list(APPEND zv_winepath "Z:${dir}")
  endforeach()
  string(REPLACE ";" "\\;" ZV_WINEPATH "${zv_winepath}")
  set(ZV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run CACHE FILEPATH "Runs Windows programs" FORCE)
  # The first start creates the prefix, which takes several seconds: done
  # once here, so that no test or test listing pays for it.
  if(NOT EXISTS ${ZV_WINEPREFIX}/system.reg)
    message(STATUS "Creating the wine prefix ${ZV_WINEPREFIX}")
    execute_process(COMMAND ${CMAKE_BINARY_DIR}/wine-run wineboot.exe --init RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  endif()
endif()
