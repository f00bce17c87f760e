# Sources of formats::rtf.
target_sources(formats PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/decompress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/deencapsulate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/interpreter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/rtf_to_html.cpp
  ${CMAKE_CURRENT_LIST_DIR}/html_text.cpp)
