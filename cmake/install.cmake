# cmake --install: the module, the headers, the C++ library and a package
# configuration, so that consumers can write
#   find_package(ZorvaneOscillator) + target_link_libraries(app zorvane::oscillator)
include(CMakePackageConfigHelpers)

# The module is loaded by path, not linked: a folder of its own keeps it out
# of the linker's search path (it has no soname) and lets the programs
# installed with it find it relative to themselves.
install(TARGETS zorvane_module
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/zorvane)
install(TARGETS zorvane_oscillator EXPORT ZorvaneOscillatorTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zorvane ${ZORVANE_GENERATED_INCLUDE_DIR}/zorvane
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(configDir ${CMAKE_INSTALL_LIBDIR}/cmake/ZorvaneOscillator)
install(EXPORT ZorvaneOscillatorTargets NAMESPACE zorvane:: DESTINATION ${configDir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZorvaneOscillatorConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ZorvaneOscillatorConfig.cmake INSTALL_DESTINATION ${configDir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZorvaneOscillatorConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZorvaneOscillatorConfig.cmake
              ${PROJECT_BINARY_DIR}/ZorvaneOscillatorConfigVersion.cmake
        DESTINATION ${configDir})

include(${CMAKE_CURRENT_LIST_DIR}/package/package.cmake)
