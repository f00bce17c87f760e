# formats::eml: an Internet message composed from a .msg item.
target_sources(formats PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/addresses.cpp
  ${CMAKE_CURRENT_LIST_DIR}/attachments.cpp
  ${CMAKE_CURRENT_LIST_DIR}/body.cpp
  ${CMAKE_CURRENT_LIST_DIR}/calendar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/composer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/convert.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smime.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stored_header.cpp)
