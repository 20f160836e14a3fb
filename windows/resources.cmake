# Windows resources for the engine's programs: icon, version information and
# the manifest (windows/program.rc.in). The version is the project's, the
# engine's one version (the top CMakeLists.txt).
enable_language(RC)
set(ORJ_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(ORJ_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(ORJ_WINDOWS_DIR ${PROJECT_SOURCE_DIR}/windows)

# Gives program TARGET its resources, described as DESCRIPTION, and the
# UTF-8 console.
function(engine_windows_program target description)
  set(PROGRAM ${target})
  set(DESCRIPTION "${description}")
  set(rc ${PROJECT_BINARY_DIR}/windows/${target}.rc)
  configure_file(${ORJ_WINDOWS_DIR}/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc} ${ORJ_WINDOWS_DIR}/console_utf8.cpp)
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${ORJ_WINDOWS_DIR}/orj.ico;${ORJ_WINDOWS_DIR}/program.manifest")
endfunction()
