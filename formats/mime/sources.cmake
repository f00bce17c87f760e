# Sources of formats::mime are added here: target_sources(formats PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x.cpp)
