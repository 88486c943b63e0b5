# `docs`: the API reference of the public headers, with the host programmer's
# guide as its first page. Not part of `all`; needs Debian's doxygen.
find_package(Doxygen QUIET)
set(ZV_DOCS_OUTPUT ${PROJECT_BINARY_DIR}/docs)
if(DOXYGEN_FOUND)
  configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${ZV_DOCS_OUTPUT}/Doxyfile @ONLY)
  add_custom_target(docs
    COMMAND ${DOXYGEN_EXECUTABLE} ${ZV_DOCS_OUTPUT}/Doxyfile
    COMMAND ${CMAKE_COMMAND} -E echo "API reference: ${ZV_DOCS_OUTPUT}/html/index.html"
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Generating the API reference"
    VERBATIM)
else()
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E echo "doxygen not found: apt-get install doxygen, then configure again"
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
endif()
