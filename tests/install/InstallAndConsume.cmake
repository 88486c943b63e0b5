# Run with cmake -P (see CMakeLists.txt). Fails with a message at the first
# thing that is not as an installed package must be.
set(work ${ZV_WORK_DIR})
set(prefix ${work}/prefix)
set(lib ${prefix}/${ZV_LIBDIR})
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

include(${CMAKE_CURRENT_LIST_DIR}/InstallHelpers.cmake)

zv_run(COMMAND ${CMAKE_COMMAND} --install ${ZV_BUILD_DIR} --prefix ${prefix})

foreach(file
    include/zvenv/CTqEnvMgr.h include/zvenv/CTqEnvIni.h include/zvenv/CTqEnvJson.h include/zvenv/CTqEnvSetting.h
    include/zvenv/CTqIni.h include/zvenv/ZvUtil.h include/zvenv/platform/CString.h include/zvenv/platform/Export.h
    include/zvenv/Version.h include/zvenv/EnvTool.h
    ${ZV_LIBDIR}/libJSONLint.so ${ZV_BINDIR}/zvenv
    ${ZV_LIBDIR}/cmake/ZvEnvMgr/ZvEnvMgrConfig.cmake ${ZV_LIBDIR}/cmake/ZvEnvMgr/ZvEnvMgrConfigVersion.cmake
    ${ZV_LIBDIR}/cmake/ZvEnvMgr/ZvEnvMgrTargets.cmake ${ZV_LIBDIR}/pkgconfig/zvenvmgr.pc
    share/man/man1/zvenv.1 share/bash-completion/completions/zvenv share/doc/ZvEnvMgr/LICENSE
    share/doc/ZvEnvMgr/CHANGELOG.md)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB_RECURSE private_headers RELATIVE ${prefix} ${prefix}/include/*/*.inc ${prefix}/include/*/IniFile.h
     ${prefix}/include/*/Json.h ${prefix}/include/*/CPath.h)
if(private_headers)
  message(FATAL_ERROR "internal headers installed: ${private_headers}")
endif()

# Each shared library: the real file with the full version, the SONAME link
# with the major version, the development link, and the SONAME recorded.
foreach(name zvplatform zvutil ZvEnvMgr)
  set(real ${lib}/lib${name}.so.${ZV_VERSION})
  if(NOT EXISTS ${real} OR IS_SYMLINK ${real})
    message(FATAL_ERROR "lib${name}.so.${ZV_VERSION} missing or not a file")
  endif()
  foreach(link lib${name}.so.${ZV_MAJOR} lib${name}.so)
    if(NOT IS_SYMLINK ${lib}/${link})
      message(FATAL_ERROR "${link} is not a link to the versioned library")
    endif()
  endforeach()
  zv_run(COMMAND readelf -d ${real} OUTPUT dynamic)
  zv_expect_match("${dynamic}" "soname: \\[lib${name}\\.so\\.${ZV_MAJOR}\\]" "SONAME of lib${name}")
  if(dynamic MATCHES "${ZV_BUILD_DIR}")
    message(FATAL_ERROR "lib${name} still points into the build folder:\n${dynamic}")
  endif()
endforeach()

# Only the exported interface is visible: the five classes (members, virtual
# tables, type information), fnTqEnvMgr, the version function and the tool
# functions.
zv_run(COMMAND nm -D --defined-only -C ${lib}/libZvEnvMgr.so.${ZV_VERSION} OUTPUT symbols)
string(REGEX REPLACE "\n$" "" symbols "${symbols}")
string(REPLACE "\n" ";" symbol_lines "${symbols}")
set(allowed "^[0-9a-f]+ [A-Za-z] ((vtable for |typeinfo for |typeinfo name for )?CTq(EnvMgr|EnvIni|EnvSetting|EnvJson|Ini)(::|$)|fnTqEnvMgr$|ZvEnvMgrVersion$|zv::envtool::)")
set(stray)
foreach(line IN LISTS symbol_lines)
  if(NOT line MATCHES "${allowed}")
    string(APPEND stray "${line}\n")
  endif()
endforeach()
if(stray)
  message(FATAL_ERROR "libZvEnvMgr exports more than its interface:\n${stray}")
endif()
zv_expect_match("${symbols}" " T CTqIni::WriteString" "libZvEnvMgr exports CTqIni")
foreach(expected " T fnTqEnvMgr" " T CTqEnvMgr::GetInstance" "vtable for CTqEnvSetting" "vtable for CTqEnvJson")
  zv_expect_match("${symbols}" "${expected}" "libZvEnvMgr exports")
endforeach()
foreach(name zvplatform zvutil)
  zv_run(COMMAND nm -D --defined-only ${lib}/lib${name}.so.${ZV_VERSION} OUTPUT raw)
  if(raw MATCHES " [TW] _Z(NK?St|St|N9__gnu_cxx)")
    message(FATAL_ERROR "lib${name} exports standard-library template code")
  endif()
endforeach()
zv_run(COMMAND nm -D --defined-only ${lib}/libJSONLint.so OUTPUT module)
string(REGEX REPLACE "[0-9a-f]+ [A-Za-z] " "" module_names "${module}")
string(STRIP "${module_names}" module_names)
if(NOT module_names STREQUAL "JSONCPP_Parse")
  message(FATAL_ERROR "libJSONLint should export JSONCPP_Parse only, exports:\n${module}")
endif()

# The installed host runs from the installed tree alone, and takes the prefix
# as its application root; its manual page says what --help says.
zv_run(COMMAND ${prefix}/${ZV_BINDIR}/zvenv paths OUTPUT host_paths)
zv_expect_match("${host_paths}" "root +${prefix}/\n" "zvenv paths")
file(READ ${prefix}/share/man/man1/zvenv.1 manual)
zv_expect_match("${manual}" "\\.TH ZVENV \"1\" \"[^\"]*\" \"ZvEnvMgr ${ZV_VERSION}\".*dry\\\\-run.*Exit status"
                "the manual page")

# The consumer through the CMake package.
set(consumer_build ${work}/consumer-build)
zv_run(COMMAND ${CMAKE_COMMAND} -S ${ZV_SOURCE_DIR}/tests/install/consumer -B ${consumer_build} -G ${ZV_GENERATOR}
               -DCMAKE_CXX_COMPILER=${ZV_CXX} -DCMAKE_PREFIX_PATH=${prefix})
zv_run(COMMAND ${CMAKE_COMMAND} --build ${consumer_build})
zv_run(COMMAND ${consumer_build}/consumer ini ${work}/package.ini OUTPUT out)
zv_expect_match("${out}" "Title=Größe été 😀\nCount=42\n" "consumer ini")
zv_hex(${work}/package.ini bytes)
zv_utf16_hex("[Main]" section_hex)
zv_expect_match("${bytes}" "^fffe${section_hex}" "a new INI file is UTF-16LE with a byte-order mark")
# U+1F600 is written as the surrogate pair D83D DE00.
zv_expect_match("${bytes}" "3dd800de" "a character above U+FFFF as a surrogate pair")

# The version file refuses a later major version.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${ZV_SOURCE_DIR}/tests/install/consumer -B ${work}/consumer-future
                        -G ${ZV_GENERATOR} -DCMAKE_PREFIX_PATH=${prefix} -DZV_REQUIRE_VERSION=${ZV_MAJOR}9
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "find_package accepted version ${ZV_MAJOR}9 of a ${ZV_VERSION} package")
endif()

# The consumer through pkg-config, compiled as the README says: the package's
# library folder as the program's run path.
zv_run(COMMAND pkg-config --cflags --libs zvenvmgr ENV PKG_CONFIG_PATH=${lib}/pkgconfig OUTPUT flags)
zv_run(COMMAND pkg-config --variable=libdir zvenvmgr ENV PKG_CONFIG_PATH=${lib}/pkgconfig OUTPUT pc_libdir)
string(STRIP "${flags}" flags)
string(STRIP "${pc_libdir}" pc_libdir)
separate_arguments(flags UNIX_COMMAND "${flags}")
zv_run(COMMAND ${ZV_CXX} -std=c++17 ${ZV_SOURCE_DIR}/tests/install/consumer/main.cpp ${flags} -Wl,-rpath,${pc_libdir}
               -o ${work}/consumer-pc)
zv_run(COMMAND ${work}/consumer-pc ini ${work}/pc.ini OUTPUT out)
zv_expect_match("${out}" "Count=42" "consumer built with pkg-config")

# A compiler set to C++14 is told what the headers need, first.
execute_process(COMMAND ${ZV_CXX} -std=c++14 -fsyntax-only ${ZV_SOURCE_DIR}/examples/host/main.cpp ${flags}
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "the headers compiled as C++14")
endif()
string(REGEX MATCH "error: [^\n]*" first_error "${err}")
zv_expect_match("${first_error}" "ZvEnvMgr needs C\\+\\+17 or later" "the first error of a C++14 build")

# The README's host is examples/host/main.cpp, word for word.
file(READ ${ZV_SOURCE_DIR}/README.md readme)
file(READ ${ZV_SOURCE_DIR}/examples/host/main.cpp example)
string(FIND "${readme}" "```cpp\n${example}```" at)
if(at EQUAL -1)
  message(FATAL_ERROR "the README's host differs from examples/host/main.cpp")
endif()

# The example through the CMake package by a project that asks for C++14: the
# target carries C++17. It runs as a host twice in a root of its own.
set(example_build ${work}/example-build)
zv_run(COMMAND ${CMAKE_COMMAND} -S ${ZV_SOURCE_DIR}/examples/host -B ${example_build} -G ${ZV_GENERATOR}
               -DCMAKE_CXX_COMPILER=${ZV_CXX} -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_STANDARD=14)
zv_run(COMMAND ${CMAKE_COMMAND} --build ${example_build})
set(example_root ${work}/example-root)
file(MAKE_DIRECTORY ${example_root}/bin)
file(COPY ${ZV_SOURCE_DIR}/examples/approot/system DESTINATION ${example_root})
file(COPY ${example_build}/host DESTINATION ${example_root}/bin)
zv_run(COMMAND ${example_root}/bin/host OUTPUT out)
zv_expect_match("${out}" "^RefreshSeconds was 5\n$" "the example's first run")
zv_run(COMMAND ${example_root}/bin/host OUTPUT out)
zv_expect_match("${out}" "^RefreshSeconds was 6\n$" "the example's second run")
zv_hex(${example_root}/user/alice/trade.ini saved)
zv_utf16_hex("RefreshSeconds=7" seconds_hex)
zv_expect_match("${saved}" "^fffe.*${seconds_hex}" "the example's saved document")

# The same program through pkg-config, as the README builds it.
zv_run(COMMAND ${ZV_CXX} -std=c++17 ${ZV_SOURCE_DIR}/examples/host/main.cpp ${flags} -Wl,-rpath,${pc_libdir}
               -o ${example_root}/bin/host-pc)
zv_run(COMMAND ${example_root}/bin/host-pc OUTPUT out)
zv_expect_match("${out}" "^RefreshSeconds was 7\n$" "the example built with pkg-config")

# The manager: the consumer as a host in <app>/bin, with the sample defaults in
# <app>/system and no validator module next to it, so the library must find the
# module next to itself.
set(app ${work}/app)
file(MAKE_DIRECTORY ${app}/bin)
file(COPY ${ZV_SOURCE_DIR}/examples/approot/system DESTINATION ${app})
file(COPY ${consumer_build}/consumer DESTINATION ${app}/bin)
zv_run(COMMAND ${app}/bin/consumer manager OUTPUT out)
zv_expect_match("${out}" "root=${app}/\n" "the root is the parent of bin")
zv_expect_match("${out}" "before=Trade\n" "the user copy is seeded from system/trade.ini")
zv_expect_match("${out}" "layout=Main screen\n" "the JSON document loads through the installed validator")
zv_hex(${app}/user/trade.ini saved)
zv_utf16_hex("Title=Consumer " title_hex)
zv_expect_match("${saved}" "^fffe.*${title_hex}e9007400e900" "the changed title saved as UTF-16LE")
zv_hex(${app}/system/trade.ini shipped)
if(shipped MATCHES "${title_hex}")
  message(FATAL_ERROR "the shipped default was changed")
endif()
message(STATUS "installed package, consumer and pkg-config file work")
