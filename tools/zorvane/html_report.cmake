# The HTML report's sources, and its page's files and the pinned uPlot built
# into the program as report_assets.cpp (embed_files.cmake writes it).
set(reportPage ${CMAKE_CURRENT_SOURCE_DIR}/report_page)
set(uplot ${PROJECT_SOURCE_DIR}/third_party/uplot)
set(reportAssets
  pageTemplate=${reportPage}/page.html
  pageStyle=${reportPage}/page.css
  pageScript=${reportPage}/page.js
  uplotStyle=${uplot}/uPlot.min.css
  uplotScript=${uplot}/uPlot.iife.min.js
  uplotLicence=${uplot}/LICENSE)
set(reportAssetFiles ${reportAssets})
list(TRANSFORM reportAssetFiles REPLACE "^[^=]+=" "")
string(REPLACE ";" "|" reportAssetEntries "${reportAssets}")
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/report_assets.cpp
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${CMAKE_CURRENT_BINARY_DIR}/report_assets.cpp
          "-DENTRIES=${reportAssetEntries}" -P ${CMAKE_CURRENT_SOURCE_DIR}/embed_files.cmake
  DEPENDS ${reportAssetFiles} ${CMAKE_CURRENT_SOURCE_DIR}/embed_files.cmake
  COMMENT "Embedding the report page"
  VERBATIM)
target_sources(zorvane PRIVATE
  markup_text.cpp
  html_report.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/report_assets.cpp)
target_include_directories(zorvane PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
