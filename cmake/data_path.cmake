# How installed programs find the installed sample data (find_data_file in
# orj::core): PREFIX/share/orj beside PREFIX/bin; on Windows the data/ folder
# sits beside the programs.
target_sources(orj_core PRIVATE ${PROJECT_SOURCE_DIR}/core/base/data_path.cpp)
if(WIN32)
  set(ORJ_DATA_FROM_PROGRAMS ".")
else()
  file(RELATIVE_PATH ORJ_DATA_FROM_PROGRAMS ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/orj)
endif()
target_compile_definitions(orj_core PRIVATE ORJ_DATA_FROM_PROGRAMS="${ORJ_DATA_FROM_PROGRAMS}")
