# CLI11 for cross builds: the build machine's header-only CLI11 (Debian's
# libcli11-dev), its headers alone on the include path, never the rest of
# the build machine's /usr/include, whose headers are for another target.
if(TARGET CLI11::CLI11)
  return()
endif()
set(CLI11_HEADERS /usr/include/CLI CACHE PATH "The build machine's CLI11 headers")
if(NOT EXISTS ${CLI11_HEADERS}/CLI.hpp)
  set(CLI11_FOUND FALSE)
  set(CLI11_NOT_FOUND_MESSAGE "no CLI11 headers in ${CLI11_HEADERS} (install libcli11-dev)")
  return()
endif()
set(cli11Include ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${cli11Include})
file(CREATE_LINK ${CLI11_HEADERS} ${cli11Include}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${cli11Include})
