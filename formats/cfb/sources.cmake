target_sources(formats PRIVATE ${CMAKE_CURRENT_LIST_DIR}/compound_file.cpp)
