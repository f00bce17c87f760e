target_sources(formats PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/content.cpp
  ${CMAKE_CURRENT_LIST_DIR}/meeting.cpp
  ${CMAKE_CURRENT_LIST_DIR}/properties.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/recurrence.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_properties.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timezone.cpp)
