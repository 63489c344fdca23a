# cmake --install: the module, the headers, the C++ library and a package
# configuration, so that consumers can write
#   find_package(ZorvaneOscillator) + target_link_libraries(app zorvane::oscillator)
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS zorvane_module
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zorvane_oscillator EXPORT ZorvaneOscillatorTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/zorvane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(configDir ${CMAKE_INSTALL_LIBDIR}/cmake/ZorvaneOscillator)
install(EXPORT ZorvaneOscillatorTargets NAMESPACE zorvane:: DESTINATION ${configDir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZorvaneOscillatorConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ZorvaneOscillatorConfig.cmake INSTALL_DESTINATION ${configDir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZorvaneOscillatorConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZorvaneOscillatorConfig.cmake
              ${PROJECT_BINARY_DIR}/ZorvaneOscillatorConfigVersion.cmake
        DESTINATION ${configDir})
