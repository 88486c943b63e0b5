# Installation: headers, the three shared libraries with their SONAMEs, the
# validator module next to ZvEnvMgr (where the library looks for it after the
# host's own folder), the zvenv host, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

set(ZV_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZvEnvMgr)

if(NOT WIN32)
  # Only the exported interface is visible: the export macros hide the rest of
  # the project's code, and these version scripts hide the standard-library
  # template code as well.
  target_link_options(ZvEnvMgr PRIVATE -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/ZvEnvMgr.map)
  target_link_options(zvplatform PRIVATE -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/zvstd-local.map)
  target_link_options(zvutil PRIVATE -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/zvstd-local.map)
  set_property(TARGET ZvEnvMgr APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/ZvEnvMgr.map)
  set_property(TARGET zvplatform zvutil APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/zvstd-local.map)
  target_link_options(JSONLint PRIVATE -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/JSONLint.map)
  set_property(TARGET JSONLint APPEND PROPERTY LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/JSONLint.map)

  # Installed binaries find the project's libraries relative to themselves, so
  # an installed tree can be moved as a whole.
  set_target_properties(zvplatform zvutil ZvEnvMgr JSONLint PROPERTIES INSTALL_RPATH "$ORIGIN")
  file(RELATIVE_PATH zv_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(zvenv PROPERTIES INSTALL_RPATH "$ORIGIN/${zv_bin_to_lib}")
endif()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zvenv DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT Development FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/zvenv/Version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zvenv
        COMPONENT Development)

install(TARGETS zvplatform zvutil ZvEnvMgr EXPORT ZvEnvMgrTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(WIN32)
  # On Windows the DLLs are in bin/ beside zvenv.exe, the validator beside
  # ZvEnvMgr.dll, and the compiler's and libgcrypt's runtime DLLs with them;
  # the import libraries go to lib/.
  install(TARGETS JSONLint LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
  install(FILES ${ZV_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
else()
  install(TARGETS JSONLint LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime)
endif()
install(TARGETS zvenv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)

if(WIN32)
  set(ZV_JSONLINT_DIR ${CMAKE_INSTALL_BINDIR})
  set(ZV_JSONLINT_FILE JSONLint.dll)
else()
  set(ZV_JSONLINT_DIR ${CMAKE_INSTALL_LIBDIR})
  set(ZV_JSONLINT_FILE libJSONLint.so)
endif()
install(EXPORT ZvEnvMgrTargets NAMESPACE ZvEnvMgr:: DESTINATION ${ZV_PACKAGE_DIR} COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZvEnvMgrConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ZvEnvMgrConfig.cmake INSTALL_DESTINATION ${ZV_PACKAGE_DIR}
                              PATH_VARS CMAKE_INSTALL_LIBDIR ZV_JSONLINT_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZvEnvMgrConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZvEnvMgrConfig.cmake ${PROJECT_BINARY_DIR}/ZvEnvMgrConfigVersion.cmake
        DESTINATION ${ZV_PACKAGE_DIR} COMPONENT Development)

# pkg-config takes paths relative to its own prefix, so the file stays right
# when the tree is installed with --prefix somewhere else.
file(RELATIVE_PATH ZV_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" ZV_PC_PREFIX "${ZV_PC_PREFIX}")
file(RELATIVE_PATH ZV_PC_LIBDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_LIBDIR})
file(RELATIVE_PATH ZV_PC_INCLUDEDIR ${CMAKE_INSTALL_PREFIX} ${CMAKE_INSTALL_FULL_INCLUDEDIR})
if(WIN32)
  set(ZV_UTIL_LINK_NAME ZvUtil)
else()
  set(ZV_UTIL_LINK_NAME zvutil)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/zvenvmgr.pc.in ${PROJECT_BINARY_DIR}/zvenvmgr.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zvenvmgr.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT Development)
