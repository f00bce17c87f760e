# formats::ical: iCalendar text (content lines, folding, escaping, dates).
target_sources(formats PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/writer.cpp)
