# Warnings and sanitizers shared by every target of the project.
add_library(zv_options INTERFACE)
target_compile_options(zv_options INTERFACE -Wall -Wextra)
# The shared libraries never rely on a function of theirs being replaced from
# outside, so calls inside a library may bind directly and be inlined (the
# text and string helpers are called per character).
target_compile_options(zv_options INTERFACE -fno-semantic-interposition)
# The project's sources call the wide Windows functions by their W names and
# use std::min and std::max: <windows.h> must not define min and max for them.
if(WIN32)
  target_compile_definitions(zv_options INTERFACE NOMINMAX WIN32_LEAN_AND_MEAN)
endif()
if(ZV_SANITIZE)
  target_compile_options(zv_options INTERFACE -fsanitize=${ZV_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(zv_options INTERFACE -fsanitize=${ZV_SANITIZE})
endif()
# Counters for scripts/coverage.sh, on every target (the libraries made of
# object libraries link nothing else of zv_options); the coverage preset builds
# Debug, so every line and branch stays where the source has it. The counters
# are updated atomically: threads sharing a document would otherwise leave
# torn, even negative, counts that gcov cannot read.
if(ZV_COVERAGE)
  add_compile_options(--coverage -fprofile-update=atomic)
  add_link_options(--coverage)
endif()

# zv_add_subsystem(NAME FOLDER [DEPS ...]): an object library built from every
# source file of one folder. Subsystems are combined into the shared libraries;
# tests link the object libraries directly to reach internals.
# zv_glob_sources(VAR NAME FOLDER...): the .cpp files of the folders; a target
# whose folders hold no code yet gets an empty file, so it still takes part in
# the build.
function(zv_glob_sources var name)
  set(patterns)
  foreach(folder ${ARGN})
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${patterns})
  if(NOT sources)
    set(sources ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${sources} "")
  endif()
  set(${var} ${sources} PARENT_SCOPE)
endfunction()

function(zv_add_subsystem name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  zv_glob_sources(sources ${name} ${folder})
  add_library(${name} OBJECT ${sources})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/src>)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE zv_options)
endfunction()
