# formats::mime: the Internet message writer, and readers of stored header blocks.
target_sources(formats PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/base64.cpp
  ${CMAKE_CURRENT_LIST_DIR}/carried_field.cpp
  ${CMAKE_CURRENT_LIST_DIR}/header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/header_block.cpp
  ${CMAKE_CURRENT_LIST_DIR}/media_types.cpp
  ${CMAKE_CURRENT_LIST_DIR}/signed_entity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/transfer_encoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/writer.cpp)
