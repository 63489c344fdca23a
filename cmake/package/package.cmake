# What a Linux install carries besides the targets (a pkg-config file, the
# man page, the licence, changelogs and documentation), and the CPack
# settings that turn an install into the Debian package and the relocatable
# tarball. scripts/release drives it; the release is configured with the
# prefix /usr, so the tarball holds the same tree as the package.
set(ZORVANE_PACKAGE_NAME zorvane-oscillator)
set(ZORVANE_MAINTAINER "Zorvane Oscillator developers <dev@zorvane.invalid>")
set(docDir ${CMAKE_INSTALL_DATADIR}/doc/${ZORVANE_PACKAGE_NAME})
set(packageDir ${CMAKE_CURRENT_LIST_DIR})
set(packageBuildDir ${PROJECT_BINARY_DIR}/package)

configure_file(${packageDir}/zorvane-oscillator.pc.in ${packageBuildDir}/zorvane-oscillator.pc @ONLY)
install(FILES ${packageBuildDir}/zorvane-oscillator.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The copyright file in Debian's machine-readable form, with the licence text
# indented as that form wants (an empty line becomes " .").
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE licenseLines)
set(EXPAT_TEXT "")
foreach(line IN LISTS licenseLines)
  if(line STREQUAL "")
    string(APPEND EXPAT_TEXT " .\n")
  else()
    string(APPEND EXPAT_TEXT " ${line}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" EXPAT_TEXT "${EXPAT_TEXT}")
configure_file(${packageDir}/copyright.in ${packageBuildDir}/copyright @ONLY)

# Dated by SOURCE_DATE_EPOCH when set (a release), so the bytes repeat.
string(TIMESTAMP ZORVANE_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${packageDir}/changelog.Debian.in ${packageBuildDir}/changelog @ONLY)

# Changelogs compressed as Debian wants them: gzip -9 without a name or time.
set(compressed)
foreach(pair changelog:changelog.gz CHANGELOG.md:CHANGELOG.md.gz)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 source)
  list(GET pair 1 target)
  if(source STREQUAL "changelog")
    set(source ${packageBuildDir}/changelog)
  else()
    set(source ${PROJECT_SOURCE_DIR}/${source})
  endif()
  add_custom_command(OUTPUT ${packageBuildDir}/${target}
    COMMAND gzip -9nc ${source} > ${packageBuildDir}/${target}
    DEPENDS ${source} VERBATIM)
  list(APPEND compressed ${packageBuildDir}/${target})
endforeach()
add_custom_target(zorvane_package_files ALL DEPENDS ${compressed})
install(FILES ${packageBuildDir}/copyright ${compressed} DESTINATION ${docDir})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${docDir})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${docDir}/docs)

set(CPACK_PACKAGE_NAME ${ZORVANE_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "The Zorvane Oscillator developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ZORVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cycle indicator over price bars, bit-exact")
set(CPACK_PACKAGE_DESCRIPTION
  "Zorvane Oscillator measures the phase and period of the dominant cycle in
a price series bar by bar and gives one value per bar: a line that follows
the price or an oscillator between -1 and 1. Results are exact to the bit
whatever the caller's floating-point settings.

This package holds the loadable module Zorvane Oscillator, the C and
C++ headers, the static C++ library with its CMake package and pkg-config
file, and the zorvane command-line program, which runs the indicator over
the bar files trading platforms export and draws SVG and HTML charts.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_THREADS 1)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# The tarball: the same tree under one top folder, named by system and processor.
string(TOLOWER ${CMAKE_SYSTEM_NAME} system)
set(CPACK_ARCHIVE_FILE_NAME ${ZORVANE_PACKAGE_NAME}-${PROJECT_VERSION}-${system}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_PACKAGE_FILE_NAME ${CPACK_ARCHIVE_FILE_NAME})
set(CPACK_GENERATOR DEB TGZ)
include(CPack)
