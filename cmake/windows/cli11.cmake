# CLI11 for the cross build. It is header-only, and Debian installs it for
# the build machine (libcli11-dev, /usr/include/CLI), outside the mingw-w64
# root the toolchain searches. Its folder is copied into the build, so the
# cross compiler sees CLI11 and no other Linux header.
find_path(ZORVANE_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZORVANE_CLI11_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 not found: scripts/install-deps installs libcli11-dev")
endif()
set(cli11Copy ${PROJECT_BINARY_DIR}/cli11)
file(COPY ${ZORVANE_CLI11_INCLUDE_DIR}/CLI DESTINATION ${cli11Copy})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${cli11Copy})
