# Windows resources for the engine's programs: icon, version information and
# the manifest (windows/program.rc.in). The version comes from the engine's
# one constant, ENGINE_VERSION in core/base/version.h.
enable_language(RC)
file(STRINGS ${CMAKE_SOURCE_DIR}/core/base/version.h ORJ_VERSION_LINE REGEX "^#define ENGINE_VERSION ")
string(REGEX MATCH "\"([0-9]+)\\.([0-9]+)\\.([0-9]+)\"" ORJ_VERSION_QUOTED "${ORJ_VERSION_LINE}")
if(NOT ORJ_VERSION_QUOTED)
  message(FATAL_ERROR "core/base/version.h: ENGINE_VERSION is not MAJOR.MINOR.PATCH")
endif()
set(ORJ_VERSION "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
set(ORJ_VERSION_COMMAS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},0")
set(ORJ_WINDOWS_DIR ${CMAKE_SOURCE_DIR}/windows)
# Reconfigure when the version changes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/core/base/version.h)

# Gives program TARGET its resources, described as DESCRIPTION, and the
# UTF-8 console.
function(engine_windows_program target description)
  set(PROGRAM ${target})
  set(DESCRIPTION "${description}")
  configure_file(${ORJ_WINDOWS_DIR}/program.rc.in ${CMAKE_BINARY_DIR}/windows/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/windows/${target}.rc ${ORJ_WINDOWS_DIR}/console_utf8.cpp)
  set_source_files_properties(${CMAKE_BINARY_DIR}/windows/${target}.rc PROPERTIES
    OBJECT_DEPENDS "${ORJ_WINDOWS_DIR}/orj.ico;${ORJ_WINDOWS_DIR}/program.manifest")
endfunction()
