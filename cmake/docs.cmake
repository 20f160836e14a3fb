# The API documentation from the public headers' comments (docs/Doxyfile):
#   cmake --build BUILD --target docs    ->  BUILD/docs/html/index.html
# tools/check_docs.sh runs the same with a check of the warnings.
find_program(ORJ_DOXYGEN doxygen)
if(ORJ_DOXYGEN AND ORJ_TOP_LEVEL)  # a parent project may have its own docs target
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/docs
    COMMAND ${CMAKE_COMMAND} -E env ORJ_VERSION=${PROJECT_VERSION} ORJ_DOCS_OUTPUT=${PROJECT_BINARY_DIR}/docs
            ORJ_DOCS_WARNINGS=${PROJECT_BINARY_DIR}/docs/warnings.txt ${ORJ_DOXYGEN} docs/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "API documentation in ${PROJECT_BINARY_DIR}/docs/html (warnings: docs/warnings.txt)"
    VERBATIM)
endif()
