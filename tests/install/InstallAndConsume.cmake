# Run with cmake -P (tests/install/CMakeLists.txt says what it checks).
set(work ${ZV_WORK_DIR})
set(prefix ${work}/prefix)
set(lib ${prefix}/${ZV_LIBDIR})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
include(${CMAKE_CURRENT_LIST_DIR}/InstallHelpers.cmake)

zv_run(COMMAND ${CMAKE_COMMAND} --install ${ZV_BUILD_DIR} --prefix ${prefix})
set(installed include/zvenv/CTqEnvMgr.h include/zvenv/CTqIni.h include/zvenv/platform/Types.h
    ${ZV_LIBDIR}/cmake/ZvEnvMgr/ZvEnvMgrConfig.cmake ${ZV_LIBDIR}/cmake/ZvEnvMgr/ZvEnvMgrConfigVersion.cmake
    ${ZV_LIBDIR}/cmake/ZvEnvMgr/ZvEnvMgrTargets.cmake ${ZV_LIBDIR}/pkgconfig/zvenvmgr.pc)
if(ZV_WINDOWS)
  # The DLLs in bin/ with the runtime DLLs they load; import libraries in lib/.
  list(APPEND installed bin/ZvEnvMgr.dll bin/ZvUtil.dll bin/zvplatform.dll bin/JSONLint.dll bin/zvenv.exe
       bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll bin/libwinpthread-1.dll bin/libgcrypt-20.dll
       bin/libgpg-error-0.dll bin/zlib1.dll lib/libZvEnvMgr.dll.a lib/libZvUtil.dll.a lib/libzvplatform.dll.a)
  file(GLOB stray ${prefix}/lib/*.dll ${prefix}/lib/libJSONLint*)
  zv_exports(${prefix}/bin/JSONLint.dll module_exports)
  zv_exports(${prefix}/bin/ZvEnvMgr.dll library_exports)
  set(allowed "^(_ZNK?[0-9]*(CTq(EnvMgr|EnvIni|EnvSetting|EnvJson|Ini)|2zv7envtool)|_Z(TV|TI|TS)[0-9]+CTq|fnTqEnvMgr$|ZvEnvMgrVersion$)")
else()
  list(APPEND installed ${ZV_LIBDIR}/libJSONLint.so ${ZV_BINDIR}/zvenv share/man/man1/zvenv.1
       share/bash-completion/completions/zvenv share/doc/ZvEnvMgr/LICENSE share/doc/ZvEnvMgr/CHANGELOG.md)
  file(GLOB_RECURSE stray ${prefix}/include/*/*.inc ${prefix}/include/*/IniFile.h ${prefix}/include/*/Json.h
       ${prefix}/include/*/CPath.h)
  zv_run(COMMAND nm -D --defined-only ${lib}/libJSONLint.so OUTPUT module)
  string(REGEX REPLACE "[0-9a-f]+ [A-Za-z] ([^\n]*)\n" "\\1;" module_exports "${module}")
  zv_run(COMMAND nm -D --defined-only -C ${lib}/libZvEnvMgr.so.${ZV_VERSION} OUTPUT symbols)
  string(REGEX REPLACE "\n$" "" symbols "${symbols}")
  string(REPLACE "\n" ";" library_exports "${symbols}")
  set(allowed "^[0-9a-f]+ [A-Za-z] ((vtable for |typeinfo for |typeinfo name for )?CTq(EnvMgr|EnvIni|EnvSetting|EnvJson|Ini)(::|$)|fnTqEnvMgr$|ZvEnvMgrVersion$|zv::envtool::)")
  foreach(expected " T CTqIni::WriteString" " T fnTqEnvMgr" " T CTqEnvMgr::GetInstance" "vtable for CTqEnvJson")
    zv_expect_match("${symbols}" "${expected}" "libZvEnvMgr exports")
  endforeach()
endif()
foreach(file ${installed})
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(stray)
  message(FATAL_ERROR "installed where nothing belongs (DLLs outside bin/, internal headers): ${stray}")
endif()

# Only the interface is exported: the validator's entry point; ZvEnvMgr's five
# classes, fnTqEnvMgr, the version function and the tool functions.
if(NOT module_exports MATCHES "^JSONCPP_Parse;?$")
  message(FATAL_ERROR "the validator should export JSONCPP_Parse only, exports: ${module_exports}")
endif()
list(LENGTH library_exports count)
if(count LESS 50)
  message(FATAL_ERROR "ZvEnvMgr exports ${count} names")
endif()
foreach(name ${library_exports})
  if(NOT name MATCHES "${allowed}")
    message(FATAL_ERROR "ZvEnvMgr exports more than its interface: ${name}")
  endif()
endforeach()

if(NOT ZV_WINDOWS)
  # Each shared library: the versioned file with its two links, its SONAME,
  # no path into the build folder and no standard-library template code.
  foreach(name zvplatform zvutil ZvEnvMgr)
    set(real ${lib}/lib${name}.so.${ZV_VERSION})
    if(NOT EXISTS ${real} OR IS_SYMLINK ${real} OR NOT IS_SYMLINK ${lib}/lib${name}.so.${ZV_MAJOR}
       OR NOT IS_SYMLINK ${lib}/lib${name}.so)
      message(FATAL_ERROR "lib${name}: not the versioned file with its two links")
    endif()
    zv_run(COMMAND readelf -d ${real} OUTPUT dynamic)
    zv_expect_match("${dynamic}" "soname: \\[lib${name}\\.so\\.${ZV_MAJOR}\\]" "SONAME of lib${name}")
    if(dynamic MATCHES "${ZV_BUILD_DIR}")
      message(FATAL_ERROR "lib${name} still points into the build folder:\n${dynamic}")
    endif()
    zv_run(COMMAND nm -D --defined-only ${real} OUTPUT raw)
    if(NOT name STREQUAL "ZvEnvMgr" AND raw MATCHES " [TW] _Z(NK?St|St|N9__gnu_cxx)")
      message(FATAL_ERROR "lib${name} exports standard-library template code")
    endif()
  endforeach()

  # The manual page says what --help says.
  file(READ ${prefix}/share/man/man1/zvenv.1 manual)
  zv_expect_match("${manual}" "\\.TH ZVENV \"1\" \"[^\"]*\" \"ZvEnvMgr ${ZV_VERSION}\".*dry\\\\-run.*Exit status"
                  "the manual page")

  # The version file takes this version and refuses a later major one.
  file(WRITE ${work}/future/CMakeLists.txt "cmake_minimum_required(VERSION 3.16)\nproject(f CXX)\n"
                                           "find_package(ZvEnvMgr \${V} CONFIG REQUIRED)\n")
  foreach(version ${ZV_VERSION} ${ZV_MAJOR}9)
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${work}/future -B ${work}/future-${version} -G ${ZV_GENERATOR}
                            -DCMAKE_PREFIX_PATH=${prefix} -DV=${version} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if((rc EQUAL 0 AND NOT version STREQUAL ZV_VERSION) OR (NOT rc EQUAL 0 AND version STREQUAL ZV_VERSION))
      message(FATAL_ERROR "find_package of version ${version} of a ${ZV_VERSION} package gave ${rc}")
    endif()
  endforeach()

  # The README's host is examples/host/main.cpp, word for word.
  file(READ ${ZV_SOURCE_DIR}/README.md readme)
  file(READ ${ZV_SOURCE_DIR}/examples/host/main.cpp example)
  string(FIND "${readme}" "```cpp\n${example}```" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the README's host differs from examples/host/main.cpp")
  endif()
endif()

# Under wine the programs find the installed DLLs in prefix/bin.
zv_native_path(${prefix}/bin prefix_bin)
set(env "ZV_WINEPATH_EXTRA=${prefix_bin}")

# The installed host takes the prefix as its application root; on another
# root it seeds the user's copy and loads JSON through the installed validator.
zv_run(COMMAND ${ZV_EMULATOR} ${prefix}/${ZV_BINDIR}/zvenv${exe} paths ENV ${env} OUTPUT host_paths)
zv_native_path(${prefix}/ prefix_native)
string(REGEX REPLACE "([][\\.+*?^$()])" "\\\\\\1" prefix_regex "${prefix_native}")
zv_expect_match("${host_paths}" "root +${prefix_regex}\n" "zvenv paths")
set(app ${work}/app)
file(COPY ${ZV_SOURCE_DIR}/examples/approot/system DESTINATION ${app})
zv_native_path(${app} app_native)
foreach(read "ini;get;trade;Main;Title|Trade" "json;get;layout;title|Main screen")
  string(REPLACE "|" ";" read "${read}")
  list(POP_BACK read expected)
  zv_run(COMMAND ${ZV_EMULATOR} ${prefix}/${ZV_BINDIR}/zvenv${exe} --root ${app_native} ${read} ENV ${env} OUTPUT out)
  zv_expect_match("${out}" "^${expected}\n$" "zvenv ${read}")
endforeach()
if(NOT EXISTS ${app}/user/trade.ini)
  message(FATAL_ERROR "the user's trade.ini was not seeded")
endif()

# pkg-config's flags, with its library folder as run path, as the README has them.
zv_run(COMMAND pkg-config --cflags --libs zvenvmgr ENV PKG_CONFIG_LIBDIR=${lib}/pkgconfig OUTPUT flags)
zv_run(COMMAND pkg-config --variable=libdir zvenvmgr ENV PKG_CONFIG_LIBDIR=${lib}/pkgconfig OUTPUT pc_libdir)
string(STRIP "${flags}" flags)
string(STRIP "${pc_libdir}" pc_libdir)
separate_arguments(flags UNIX_COMMAND "${flags}")
if(NOT ZV_WINDOWS)
  list(APPEND flags -Wl,-rpath,${pc_libdir})
  # A compiler set to C++14 is told what the headers need, first.
  execute_process(COMMAND ${ZV_CXX} -std=c++14 -fsyntax-only ${ZV_SOURCE_DIR}/examples/host/main.cpp ${flags}
                  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  string(REGEX MATCH "error: [^\n]*" first_error "${err}")
  zv_expect_match("${first_error}" "ZvEnvMgr needs C\\+\\+17 or later" "the first error of a C++14 build")
endif()

set(package -G ${ZV_GENERATOR} -DCMAKE_CXX_COMPILER=${ZV_CXX} -DZvEnvMgr_DIR=${lib}/cmake/ZvEnvMgr
    -DCMAKE_TOOLCHAIN_FILE=${ZV_TOOLCHAIN})

# The README's host through the package by a project asking for C++14 (the target
# carries C++17), then through pkg-config; run three times in a root of its own.
zv_run(COMMAND ${CMAKE_COMMAND} -S ${ZV_SOURCE_DIR}/examples/host -B ${work}/example-build ${package}
               -DCMAKE_CXX_STANDARD=14)
zv_run(COMMAND ${CMAKE_COMMAND} --build ${work}/example-build)
set(example_root ${work}/example-root)
file(COPY ${ZV_SOURCE_DIR}/examples/approot/system DESTINATION ${example_root})
file(GLOB dlls ${prefix}/bin/*.dll)
file(COPY ${work}/example-build/host${exe} ${dlls} DESTINATION ${example_root}/bin)
zv_run(COMMAND ${ZV_CXX} -std=c++17 ${ZV_SOURCE_DIR}/examples/host/main.cpp ${flags}
               -o ${example_root}/bin/host-pc${exe})
set(seconds 5)
foreach(program host host host-pc)
  zv_run(COMMAND ${ZV_EMULATOR} ${example_root}/bin/${program}${exe} OUTPUT out)
  zv_expect_match("${out}" "^RefreshSeconds was ${seconds}\n$" "the example's run as ${program}")
  math(EXPR seconds "${seconds} + 1")
endforeach()
# Saved as UTF-16LE with its byte order mark.
file(READ ${example_root}/user/alice/trade.ini saved HEX)
string(HEX "RefreshSeconds=8" seconds_hex)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\100" seconds_hex "${seconds_hex}")
zv_expect_match("${saved}" "^fffe.*${seconds_hex}" "the example's saved document")
message(STATUS "installed package, host and pkg-config file work")
