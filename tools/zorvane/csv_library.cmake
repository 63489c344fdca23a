# The bar-file reader and the indicator CSV writer: the command-line host
# and the reader's fuzzer link them.
add_library(zorvane_csv STATIC
  ${CMAKE_CURRENT_LIST_DIR}/text_encoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csv_records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/plain_records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/column_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/price_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/time_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bar_order.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bar_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fresh_memory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csv_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/float_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thread_wait.cpp
  ${CMAKE_CURRENT_LIST_DIR}/csv_writer.cpp)
target_include_directories(zorvane_csv PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zorvane_csv PUBLIC zorvane::oscillator)
