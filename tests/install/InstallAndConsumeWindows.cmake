# The Windows form of InstallAndConsume.cmake (run with cmake -P): installs
# the cross build into a prefix, checks the tree a Windows consumer gets,
# builds the consumer with mingw-w64 through the CMake package and through
# pkg-config, and runs it, the installed zvenv.exe and the README's host
# under wine in real application roots.
set(work ${ZV_WORK_DIR})
set(prefix ${work}/prefix)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

include(${CMAKE_CURRENT_LIST_DIR}/InstallHelpers.cmake)

# The Windows name of a path of this machine: drive Z: is its root.
function(zv_windows_path path var)
  string(REPLACE "/" "\\" windows "Z:${path}")
  set(${var} "${windows}" PARENT_SCOPE)
endfunction()

zv_run(COMMAND ${CMAKE_COMMAND} --install ${ZV_BUILD_DIR} --prefix ${prefix})

# The DLLs, the validator and the host together in bin/ with the runtime
# DLLs they load; the import libraries and the package in lib/.
foreach(file
    include/zvenv/CTqEnvMgr.h include/zvenv/platform/Types.h
    bin/ZvEnvMgr.dll bin/ZvUtil.dll bin/zvplatform.dll bin/JSONLint.dll bin/zvenv.exe
    bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll bin/libwinpthread-1.dll bin/libgcrypt-20.dll bin/libgpg-error-0.dll
    bin/zlib1.dll
    lib/libZvEnvMgr.dll.a lib/libZvUtil.dll.a lib/libzvplatform.dll.a
    lib/cmake/ZvEnvMgr/ZvEnvMgrConfig.cmake lib/cmake/ZvEnvMgr/ZvEnvMgrTargets.cmake lib/pkgconfig/zvenvmgr.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB stray ${prefix}/lib/*.dll ${prefix}/lib/libJSONLint*)
if(stray)
  message(FATAL_ERROR "DLLs outside bin/: ${stray}")
endif()

# What the DLLs export: the validator its entry point alone; ZvEnvMgr the
# five classes, fnTqEnvMgr, the version function and the tool functions.
function(zv_exports dll var)
  zv_run(COMMAND ${ZV_OBJDUMP} -p ${dll} OUTPUT table)
  # The table ends at the first empty line.
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${table}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" rows "${table}")
  set(names)
  foreach(row ${rows})
    string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${row}")
    list(APPEND names ${name})
  endforeach()
  set(${var} ${names} PARENT_SCOPE)
endfunction()
zv_exports(${prefix}/bin/JSONLint.dll module_exports)
if(NOT module_exports STREQUAL "JSONCPP_Parse")
  message(FATAL_ERROR "JSONLint.dll should export JSONCPP_Parse only, exports: ${module_exports}")
endif()
zv_exports(${prefix}/bin/ZvEnvMgr.dll library_exports)
list(LENGTH library_exports count)
if(count LESS 50)
  message(FATAL_ERROR "ZvEnvMgr.dll exports ${count} names")
endif()
foreach(name ${library_exports})
  if(NOT name MATCHES "^(_ZNK?[0-9]*(CTq(EnvMgr|EnvIni|EnvSetting|EnvJson|Ini)|2zv7envtool)|_Z(TV|TI|TS)[0-9]+CTq|fnTqEnvMgr$|ZvEnvMgrVersion$)")
    message(FATAL_ERROR "ZvEnvMgr.dll exports more than its interface: ${name}")
  endif()
endforeach()

# Programs run under wine find the installed DLLs in prefix/bin.
zv_windows_path(${prefix}/bin prefix_bin)
set(wine_env "ZV_WINEPATH_EXTRA=${prefix_bin}")

# The installed host takes the prefix as its application root.
zv_run(COMMAND ${ZV_EMULATOR} ${prefix}/bin/zvenv.exe paths OUTPUT host_paths)
zv_windows_path(${prefix}/ prefix_windows)
string(REPLACE "\\" "\\\\" prefix_regex "${prefix_windows}")
zv_expect_match("${host_paths}" "root +${prefix_regex}\n" "zvenv paths")

# The consumer through the CMake package, with the same toolchain.
set(consumer_build ${work}/consumer-build)
zv_run(COMMAND ${CMAKE_COMMAND} -S ${ZV_SOURCE_DIR}/tests/install/consumer -B ${consumer_build} -G ${ZV_GENERATOR}
               -DCMAKE_TOOLCHAIN_FILE=${ZV_TOOLCHAIN} -DZvEnvMgr_DIR=${prefix}/lib/cmake/ZvEnvMgr)
zv_run(COMMAND ${CMAKE_COMMAND} --build ${consumer_build})
zv_windows_path(${work}/package.ini package_ini)
zv_run(COMMAND ${ZV_EMULATOR} ${consumer_build}/consumer.exe ini ${package_ini} ENV ${wine_env} OUTPUT out)
zv_expect_match("${out}" "Title=Größe été 😀\nCount=42\n" "consumer ini")
zv_hex(${work}/package.ini bytes)
zv_utf16_hex("[Main]" section_hex)
zv_expect_match("${bytes}" "^fffe${section_hex}" "a new INI file is UTF-16LE with a byte-order mark")
zv_expect_match("${bytes}" "3dd800de" "a character above U+FFFF as a surrogate pair")

# The consumer through pkg-config, with the target's compiler.
zv_run(COMMAND pkg-config --cflags --libs zvenvmgr ENV PKG_CONFIG_LIBDIR=${prefix}/lib/pkgconfig OUTPUT flags)
string(STRIP "${flags}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
zv_run(COMMAND ${ZV_CXX} -std=c++17 ${ZV_SOURCE_DIR}/tests/install/consumer/main.cpp ${flags}
               -o ${work}/consumer-pc.exe)
zv_windows_path(${work}/pc.ini pc_ini)
zv_run(COMMAND ${ZV_EMULATOR} ${work}/consumer-pc.exe ini ${pc_ini} ENV ${wine_env} OUTPUT out)
zv_expect_match("${out}" "Count=42" "consumer built with pkg-config")

# The manager: the consumer as a host in <app>/bin with the sample defaults
# in <app>/system; the DLLs stay in prefix/bin, on the search path, so the
# library finds the validator beside itself.
set(app ${work}/app)
file(MAKE_DIRECTORY ${app}/bin)
file(COPY ${ZV_SOURCE_DIR}/examples/approot/system DESTINATION ${app})
file(COPY ${consumer_build}/consumer.exe DESTINATION ${app}/bin)
zv_run(COMMAND ${ZV_EMULATOR} ${app}/bin/consumer.exe manager ENV ${wine_env} OUTPUT out)
zv_windows_path(${app}/ app_windows)
string(REPLACE "\\" "\\\\" app_regex "${app_windows}")
zv_expect_match("${out}" "root=${app_regex}\n" "the root is the parent of bin")
zv_expect_match("${out}" "before=Trade\n" "the user copy is seeded from system/trade.ini")
zv_expect_match("${out}" "layout=Main screen\n" "the JSON document loads through the installed validator")
zv_hex(${app}/user/trade.ini saved)
zv_utf16_hex("Title=Consumer " title_hex)
zv_expect_match("${saved}" "^fffe.*${title_hex}e9007400e900" "the changed title saved as UTF-16LE")
zv_hex(${app}/system/trade.ini shipped)
if(shipped MATCHES "${title_hex}")
  message(FATAL_ERROR "the shipped default was changed")
endif()

# The README's host through the package, run twice in a root of its own
# with the DLLs beside it, as a Windows application is installed.
set(example_build ${work}/example-build)
zv_run(COMMAND ${CMAKE_COMMAND} -S ${ZV_SOURCE_DIR}/examples/host -B ${example_build} -G ${ZV_GENERATOR}
               -DCMAKE_TOOLCHAIN_FILE=${ZV_TOOLCHAIN} -DZvEnvMgr_DIR=${prefix}/lib/cmake/ZvEnvMgr)
zv_run(COMMAND ${CMAKE_COMMAND} --build ${example_build})
set(example_root ${work}/example-root)
file(MAKE_DIRECTORY ${example_root}/bin)
file(COPY ${ZV_SOURCE_DIR}/examples/approot/system DESTINATION ${example_root})
file(GLOB dlls ${prefix}/bin/*.dll)
file(COPY ${example_build}/host.exe ${dlls} DESTINATION ${example_root}/bin)
zv_run(COMMAND ${ZV_EMULATOR} ${example_root}/bin/host.exe OUTPUT out)
zv_expect_match("${out}" "^RefreshSeconds was 5\n$" "the example's first run")
zv_run(COMMAND ${ZV_EMULATOR} ${example_root}/bin/host.exe OUTPUT out)
zv_expect_match("${out}" "^RefreshSeconds was 6\n$" "the example's second run")
zv_hex(${example_root}/user/alice/trade.ini saved)
zv_utf16_hex("RefreshSeconds=7" seconds_hex)
zv_expect_match("${saved}" "^fffe.*${seconds_hex}" "the example's saved document")
message(STATUS "installed Windows tree, consumer and pkg-config file work under wine")
