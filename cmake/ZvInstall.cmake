# Installation: headers, the three shared libraries with their SONAMEs, the
# validator module next to ZvEnvMgr (where the library looks for it after the
# host's own folder), the zvenv host, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

set(ZV_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZvEnvMgr)

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

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zvenv DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT Development FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/zvenv/Version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zvenv
        COMPONENT Development)

install(TARGETS zvplatform zvutil ZvEnvMgr EXPORT ZvEnvMgrTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS JSONLint LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime)
install(TARGETS zvenv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)

install(EXPORT ZvEnvMgrTargets NAMESPACE ZvEnvMgr:: DESTINATION ${ZV_PACKAGE_DIR} COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZvEnvMgrConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ZvEnvMgrConfig.cmake INSTALL_DESTINATION ${ZV_PACKAGE_DIR}
                              PATH_VARS CMAKE_INSTALL_LIBDIR)
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
configure_file(${CMAKE_CURRENT_LIST_DIR}/zvenvmgr.pc.in ${PROJECT_BINARY_DIR}/zvenvmgr.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zvenvmgr.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT Development)
