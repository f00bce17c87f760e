# Sources of formats::msg are added here: target_sources(formats PRIVATE ${CMAKE_CURRENT_LIST_DIR}/x.cpp)
