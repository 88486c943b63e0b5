# The manual page of zvenv, made at build time from its --help and --version
# by Debian's help2man, and the bash completion; both are installed under
# share/. A build that cannot run zvenv (a cross build) makes no manual page.
find_program(ZV_HELP2MAN help2man)
set(ZV_MANUAL ${PROJECT_BINARY_DIR}/share/man/man1/zvenv.1)
if(ZV_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
  add_custom_command(OUTPUT ${ZV_MANUAL}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/share/man/man1
    COMMAND ${ZV_HELP2MAN} --no-info --no-discard-stderr --section 1
            --name "read and change the settings of an application root"
            --include ${CMAKE_CURRENT_LIST_DIR}/zvenv.h2m --output ${ZV_MANUAL} $<TARGET_FILE:zvenv>
    DEPENDS zvenv ${CMAKE_CURRENT_LIST_DIR}/zvenv.h2m
    COMMENT "Generating the manual page of zvenv"
    VERBATIM)
  add_custom_target(zvenv_manual ALL DEPENDS ${ZV_MANUAL})
  install(FILES ${ZV_MANUAL} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
elseif(NOT ZV_HELP2MAN)
  message(STATUS "help2man not found: no manual page for zvenv (apt-get install help2man)")
endif()

install(FILES ${PROJECT_SOURCE_DIR}/src/host/zvenv-completion.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME zvenv COMPONENT Runtime)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT Runtime)
